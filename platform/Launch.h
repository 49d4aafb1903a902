// Hands the finished export file to the companion application.
#ifndef QUENFIELD_PLATFORM_LAUNCH_H
#define QUENFIELD_PLATFORM_LAUNCH_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace _sys {

struct SLaunch;

// One start of the companion on a file, prepared while the file is still being written: constructed once its
// final path is known, Start() once it is published. Destroyed without Start(), it starts nothing and leaves
// no process, having waited for the lookups at most until its time limit has passed. The signal mask the
// companion gets is the calling thread's at construction.
class CCompanionStart {
public:
    explicit CCompanionStart(const std::string& path);
    // The same within a shorter time limit (a longer one counts as 5 s): for tests.
    CCompanionStart(const std::string& path, std::chrono::milliseconds limit);
    ~CCompanionStart();
    CCompanionStart(const CCompanionStart&) = delete;
    CCompanionStart& operator=(const CCompanionStart&) = delete;

    // 0 when the start request for the companion application succeeded, -30901 otherwise, also when its
    // preparation could not be made within 5 s of construction (a session bus or a desktop lookup that does
    // not answer) or the start not within a short time of this call. Signals reach the calling thread
    // throughout. Once only.
    int16_t Start();

private:
    std::shared_ptr<SLaunch> pLaunch;
    std::thread rThread;
};

// A start prepared and made at once.
int16_t StartApplication(const std::string& path);
int16_t StartApplication(const std::string& path, std::chrono::milliseconds limit);

} // namespace _sys

#endif

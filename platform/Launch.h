// Hands the finished export file to the companion application.
#ifndef QUENFIELD_PLATFORM_LAUNCH_H
#define QUENFIELD_PLATFORM_LAUNCH_H

#include <chrono>
#include <cstdint>
#include <string>

namespace _sys {

// 0 when the start request for the companion application succeeded, -30901 otherwise, also when it could not
// be made within 5 s (a session bus or a desktop lookup that does not answer). Signals reach the calling
// thread throughout.
int16_t StartApplication(const std::string& path);
// The same within a shorter time limit (a longer one counts as 5 s): for tests.
int16_t StartApplication(const std::string& path, std::chrono::milliseconds limit);

} // namespace _sys

#endif

// The companion reads the exported file after the plug-in has returned, and the plug-in empties its folder at
// the start of the next export. Before exporting the next image, the host waits until the companion has
// taken the previous file.
#ifndef QUENFIELD_HOST_HANDOFF_H
#define QUENFIELD_HOST_HANDOFF_H

#include <chrono>
#include <filesystem>

namespace host {

class HandOffWatch {
public:
    // Starts watching the file for the companion's first open or read; an invalid watch when that fails.
    explicit HandOffWatch(const std::filesystem::path& file);
    ~HandOffWatch();
    HandOffWatch(const HandOffWatch&) = delete;
    HandOffWatch& operator=(const HandOffWatch&) = delete;

    // True once the file was opened or read (also before the watch began, as far as its access time tells),
    // false when the time ran out or the file cannot be watched.
    bool AwaitTaken(std::chrono::milliseconds timeout);

private:
    std::filesystem::path file_;
    int inotify_ = -1;
};

} // namespace host

#endif

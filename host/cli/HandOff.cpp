#include "HandOff.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {
namespace {

// A read after the last write moves the access time past the modification time (also under relatime).
bool ReadSinceWritten(const std::filesystem::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        return false;
    }
    const auto& a = info.st_atim;
    const auto& m = info.st_mtim;
    return a.tv_sec > m.tv_sec || (a.tv_sec == m.tv_sec && a.tv_nsec > m.tv_nsec);
}

} // namespace

HandOffWatch::HandOffWatch(const std::filesystem::path& file) : file_(file) {
    inotify_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify_ >= 0 && inotify_add_watch(inotify_, file_.c_str(), IN_OPEN | IN_ACCESS) < 0) {
        close(inotify_);
        inotify_ = -1;
    }
}

HandOffWatch::~HandOffWatch() {
    if (inotify_ >= 0) {
        close(inotify_);
    }
}

bool HandOffWatch::AwaitTaken(std::chrono::milliseconds timeout) {
    if (inotify_ < 0) {
        return false;
    }
    if (ReadSinceWritten(file_)) {
        return true;
    }
    pollfd events{inotify_, POLLIN, 0};
    return poll(&events, 1, static_cast<int>(timeout.count())) == 1;
}

} // namespace host

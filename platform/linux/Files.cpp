// File services on POSIX descriptors and paths.
#include "platform/Files.h"

#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/linux/CheckedFolder.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const mode_t uiFILE_MODE = 0600;
const mode_t uiFOLDER_MODE = 0700;

// Whatever held the name before goes (a link, a FIFO, a hard link to another name's file), and the file is
// made anew: O_EXCL never opens an existing entry, O_NOFOLLOW never creates through a link, and O_NONBLOCK
// keeps the open from waiting should anything but a regular file be met anyway.
int CreateNewFile(const _sys::SFilePlace& place, int flags) {
    if (unlinkat(place.iFolder, place.strName.c_str(), 0) != 0 && errno != ENOENT) {
        return -1;
    }
    const int fd =
        openat(place.iFolder, place.strName.c_str(), flags | O_CREAT | O_EXCL | O_NONBLOCK, uiFILE_MODE);
    if (fd == -1) {
        return -1;
    }
    const int status = fcntl(fd, F_GETFL);
    if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
        close(fd);
        unlinkat(place.iFolder, place.strName.c_str(), 0);
        return -1;
    }
    return fd;
}

// The mask the export's thread had before its guard; the plug-in runs on the host's thread, one call at a
// time.
thread_local sigset_t rMaskBeforeGuard;

sigset_t SizeSignal() {
    sigset_t size;
    sigemptyset(&size);
    sigaddset(&size, SIGXFSZ);
    return size;
}

} // namespace

namespace _sys {

bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write) {
    _hlp::Require(!path.empty());
    // O_NOFOLLOW: a link planted in the file's place is never written through. O_CLOEXEC: the companion
    // and anything else the host starts never inherit the export file.
    const int flags = (write ? O_WRONLY : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC;
    const SFilePlace place = LocateFile(path);
    fd = create ? CreateNewFile(place, flags) : openat(place.iFolder, place.strName.c_str(), flags);
    return fd != -1;
}

bool WriteFile(const int& fd, const void* buf, unsigned int count) {
    _hlp::Require(fd != -1 && buf != nullptr && count != 0);
    const ssize_t written = write(fd, buf, count);
    return written >= 0 && static_cast<size_t>(written) == count;
}

bool CloseFile(int& fd) {
    if (fd == -1) {
        return true;
    }
    // Linux releases the descriptor even when close reports an error, so it is never closed twice.
    const int status = close(fd);
    fd = -1;
    return status == 0;
}

bool RemoveFile(const std::string& path) {
    _hlp::Require(!path.empty());
    const SFilePlace place = LocateFile(path);
    return unlinkat(place.iFolder, place.strName.c_str(), 0) == 0;
}

// Blocked, the signal leaves write failing with EFBIG. A signal a failed write left pending is taken back
// before the mask is restored, unless the host blocks SIGXFSZ itself and so keeps what it had.
CSizeSignalGuard::CSizeSignalGuard() {
    const sigset_t size = SizeSignal();
    pthread_sigmask(SIG_BLOCK, &size, &rMaskBeforeGuard);
}

CSizeSignalGuard::~CSizeSignalGuard() {
    const int error = errno;
    if (sigismember(&rMaskBeforeGuard, SIGXFSZ) == 0) {
        const sigset_t size = SizeSignal();
        const timespec now{0, 0};
        while (sigtimedwait(&size, nullptr, &now) == -1 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &rMaskBeforeGuard, nullptr);
    errno = error;
}

bool PathExists(const std::string& path) {
    _hlp::Require(!path.empty());
    const SFilePlace place = LocateFile(_hlp::RemoveSeparator(path));
    struct stat info {};
    return !place.strName.empty() && fstatat(place.iFolder, place.strName.c_str(), &info, 0) == 0;
}

bool CreateFolder(const std::string& path) {
    _hlp::Require(!path.empty());
    const SFilePlace place = LocateFile(_hlp::RemoveSeparator(path));
    return mkdirat(place.iFolder, place.strName.c_str(), uiFOLDER_MODE) == 0;
}

} // namespace _sys

// The walk from the root to a folder, one checked component at a time.
#include "platform/linux/TrustedFolder.h"

#include "platform/Path.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

const int iSTEP_FLAGS = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool IsTrustedAt(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && _sys::IsTrustedFolder(info);
}

} // namespace

namespace _sys {

bool IsTrustedFolder(const struct stat& info) {
    const bool trustedOwner = info.st_uid == 0 || info.st_uid == geteuid();
    const bool closed = (info.st_mode & uiFOREIGN_WRITE) == 0 || (info.st_mode & S_ISVTX) != 0;
    return S_ISDIR(info.st_mode) && trustedOwner && closed;
}

int OpenTrustedFolder(const std::string& path) {
    if (path.empty() || path[0] != cPATH_SEPARATOR) {
        return -1;
    }
    int fd = open("/", iSTEP_FLAGS);
    size_t start = 0;
    while (fd != -1 && IsTrustedAt(fd)) {
        start = path.find_first_not_of(cPATH_SEPARATOR, start);
        if (start == std::string::npos) {
            return fd;
        }
        const size_t end = path.find(cPATH_SEPARATOR, start);
        const std::string name = path.substr(start, end - start);
        const int next = name == "." || name == ".." ? -1 : openat(fd, name.c_str(), iSTEP_FLAGS);
        close(fd);
        fd = next;
        start = end;
    }
    if (fd != -1) {
        close(fd);
    }
    return -1;
}

} // namespace _sys

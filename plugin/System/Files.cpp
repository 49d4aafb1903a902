// File and folder services on POSIX calls; the parts that differ by platform live in the platform layer.
#include "System/Files.h"

#include "Error.h"
#include "System/Path.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const mode_t uiFILE_MODE = 0600;
const mode_t uiFOLDER_MODE = 0700;
const mode_t uiFOREIGN_WRITE = S_IWGRP | S_IWOTH;

} // namespace

namespace _sys {

bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write) {
    _hlp::Require(!path.empty());
    // O_NOFOLLOW: a link planted in the file's place is never written through. O_CLOEXEC: the companion
    // and anything else the host starts never inherit the export file.
    int flags = (write ? O_WRONLY : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC;
    mode_t mode = 0;
    if (create) {
        flags |= O_CREAT | O_TRUNC;
        mode = uiFILE_MODE;
    }
    fd = open(path.c_str(), flags, mode);
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

bool PathExists(const std::string& path) {
    _hlp::Require(!path.empty());
    struct stat info {};
    return stat(_hlp::RemoveSeparator(path).c_str(), &info) == 0;
}

bool CreateFolder(const std::string& path) {
    _hlp::Require(!path.empty());
    return mkdir(path.c_str(), uiFOLDER_MODE) == 0;
}

bool SecureFolder(const std::string& path) {
    _hlp::Require(!path.empty());
    // Checked and narrowed through one descriptor, so the folder cannot be swapped between the two.
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd == -1) {
        return false;
    }
    struct stat info {};
    bool ours = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
    if (ours && (info.st_mode & uiFOREIGN_WRITE) != 0) {
        ours = fchmod(fd, uiFOLDER_MODE) == 0;
    }
    close(fd);
    return ours;
}

void CleanFolder(const std::string& folder) {
    _hlp::Require(!folder.empty());
    for (const std::string& name : _hlp::GetFolderEntries(folder)) {
        std::remove(_hlp::CreatePath(folder, name).c_str());
    }
}

} // namespace _sys

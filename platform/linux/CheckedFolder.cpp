// The checked export folder: held open from the check until the export is done with it.
#include "platform/CheckedFolder.h"
#include "platform/linux/CheckedFolder.h"

#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/linux/FolderEntries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const mode_t uiFOLDER_MODE = 0700;
const mode_t uiFOREIGN_WRITE = S_IWGRP | S_IWOTH;

// One export at a time runs in a host (the protocol is not reentrant), so one checked folder is enough.
struct SCheckedFolder {
    std::string sPath; // as SecureFolder was given it, without a trailing separator
    int iDescriptor = -1;
};

SCheckedFolder& GetChecked() {
    static SCheckedFolder checked;
    return checked;
}

bool IsChecked(const std::string& folder) {
    const SCheckedFolder& checked = GetChecked();
    return checked.iDescriptor != -1 && checked.sPath == _hlp::RemoveSeparator(folder);
}

} // namespace

namespace _sys {

SFilePlace LocateFile(const std::string& path) {
    const size_t separator = path.rfind(cPATH_SEPARATOR);
    if (separator != std::string::npos && separator != 0 && IsChecked(path.substr(0, separator))) {
        return SFilePlace{GetChecked().iDescriptor, path.substr(separator + 1)};
    }
    return SFilePlace{AT_FDCWD, path};
}

CFolderAccess::CFolderAccess(const std::string& folder) : iDescriptor(-1), bOwned(false) {
    if (IsChecked(folder)) {
        iDescriptor = GetChecked().iDescriptor;
        return;
    }
    iDescriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bOwned = iDescriptor != -1;
}

CFolderAccess::~CFolderAccess() {
    if (bOwned) {
        close(iDescriptor);
    }
}

int OpenOwnFolder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd == -1) {
        return -1;
    }
    struct stat info {};
    const bool ours = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
                      ((info.st_mode & uiFOREIGN_WRITE) == 0 || fchmod(fd, uiFOLDER_MODE) == 0);
    if (!ours) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SecureFolder(const std::string& path) {
    _hlp::Require(!path.empty());
    ReleaseFolder();
    const int fd = OpenOwnFolder(path);
    if (fd == -1) {
        return false;
    }
    SCheckedFolder& checked = GetChecked();
    checked.sPath = _hlp::RemoveSeparator(path);
    checked.iDescriptor = fd;
    return true;
}

void ReleaseFolder() {
    SCheckedFolder& checked = GetChecked();
    if (checked.iDescriptor != -1) {
        close(checked.iDescriptor);
    }
    checked.iDescriptor = -1;
    checked.sPath.clear();
}

void CleanFolder(const std::string& folder) {
    _hlp::Require(!folder.empty());
    const CFolderAccess access(folder);
    if (access.GetDescriptor() == -1) {
        return;
    }
    for (const std::string& name : ListFiles(access.GetDescriptor())) {
        unlinkat(access.GetDescriptor(), name.c_str(), 0);
    }
}

} // namespace _sys

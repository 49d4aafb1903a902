// The checked export folder and the temporary folder it lies in: held open from the check until the export
// is done with them.
#include "platform/CheckedFolder.h"
#include "platform/linux/CheckedFolder.h"

#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/linux/FolderEntries.h"
#include "platform/linux/TrustedFolder.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const mode_t uiFOLDER_MODE = 0700;
// A companion that has not opened its file this long after the export is taken as never coming: the file is
// then an ordinary leftover. Long enough for a companion that starts slowly on a busy desktop; as long as a
// host waits for its companion to take the file.
const time_t iHAND_OFF_SECONDS = 10;

// One export at a time runs in a host (the protocol is not reentrant), so one folder of each kind is enough.
struct SHeldFolder {
    std::string strPath; // as it was given, without a trailing separator
    int iDescriptor = -1;

    void Release() {
        if (iDescriptor != -1) {
            close(iDescriptor);
        }
        iDescriptor = -1;
        strPath.clear();
    }
    bool Holds(const std::string& folder) const {
        return iDescriptor != -1 && strPath == _hlp::RemoveSeparator(folder);
    }
};

SHeldFolder& GetChecked() {
    static SHeldFolder checked;
    return checked;
}

SHeldFolder& GetTemp() {
    static SHeldFolder temp;
    return temp;
}

} // namespace

namespace _sys {

SFilePlace LocateFile(const std::string& path) {
    const size_t separator = path.rfind(cPATH_SEPARATOR);
    if (separator != std::string::npos && separator != 0) {
        const std::string folder = path.substr(0, separator);
        for (const SHeldFolder* held : {&GetChecked(), &GetTemp()}) {
            if (held->Holds(folder)) {
                return SFilePlace{held->iDescriptor, path.substr(separator + 1)};
            }
        }
    }
    return SFilePlace{AT_FDCWD, path};
}

void HoldTempFolder(const std::string& path, int fd) {
    GetTemp().Release();
    GetTemp().strPath = _hlp::RemoveSeparator(path);
    GetTemp().iDescriptor = fd;
}

int GetCheckedFolder() {
    return GetChecked().iDescriptor;
}

CFolderAccess::CFolderAccess(const std::string& folder) : iDescriptor(-1), bOwned(false) {
    if (GetChecked().Holds(folder)) {
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

int OpenOwnFolder(int at, const std::string& name) {
    const int fd = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
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

bool IsAwaited(const struct stat& info) {
    if (!S_ISREG(info.st_mode) || info.st_atim.tv_sec != 0 || info.st_atim.tv_nsec != 0) {
        return false;
    }
    return std::labs(static_cast<long>(std::time(nullptr) - info.st_mtim.tv_sec)) < iHAND_OFF_SECONDS;
}

bool SecureFolder(const std::string& path) {
    _hlp::Require(!path.empty());
    GetChecked().Release();
    const SFilePlace place = LocateFile(_hlp::RemoveSeparator(path));
    const int fd = OpenOwnFolder(place.iFolder, place.strName);
    if (fd == -1) {
        return false;
    }
    GetChecked().strPath = _hlp::RemoveSeparator(path);
    GetChecked().iDescriptor = fd;
    return true;
}

void ReleaseFolder() {
    GetChecked().Release();
    GetTemp().Release();
}

// Only with the folder to itself: an export that writes holds it shared (PendingFile.cpp), so nothing it
// writes can be taken for a leftover. The checked folder stays locked until the export's file is created.
void CleanFolder(const std::string& folder) {
    _hlp::Require(!folder.empty());
    const CFolderAccess access(folder);
    const int fd = access.GetDescriptor();
    if (fd == -1 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    for (const std::string& name : ListFiles(fd)) {
        struct stat info {};
        if (fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !IsAwaited(info)) {
            unlinkat(fd, name.c_str(), 0);
        }
    }
}

} // namespace _sys

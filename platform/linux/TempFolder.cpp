// The user's temporary folder on Linux. $TMPDIR is used as it is only when it is the user's own and nobody
// else can write to it. In a shared folder with the sticky bit (like /tmp), where others may create entries
// but not remove or rename ours, the user gets a private folder quenfield-<uid> inside it. Any other $TMPDIR
// (unset, relative, missing, someone else's, or open to others without the sticky bit) is passed over for
// that private folder under /tmp.
#include "platform/TempFolder.h"

#include "platform/Files.h"
#include "platform/Path.h"
#include "platform/linux/CheckedFolder.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t uiPATH_LIMIT = 255;
const char* const pcSHARED_FALLBACK = "/tmp";
const char* const pcPRIVATE_PREFIX = "quenfield-";
const mode_t uiFOREIGN_WRITE = S_IWGRP | S_IWOTH;

enum ETmpDirKind { eTMPDIR_UNUSABLE, eTMPDIR_PRIVATE, eTMPDIR_SHARED };

// $TMPDIR without its trailing separators when it is absolute; empty otherwise.
std::string GetTmpDir() {
    const char* value = std::getenv("TMPDIR");
    if (value == nullptr || value[0] != cPATH_SEPARATOR) {
        return std::string();
    }
    std::string path(value);
    while (!path.empty() && path.back() == cPATH_SEPARATOR) {
        path.pop_back();
    }
    return path;
}

// The variable is the user's own choice, so a link there is followed; what it leads to is judged.
ETmpDirKind JudgeTmpDir(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return eTMPDIR_UNUSABLE;
    }
    if (info.st_uid == geteuid() && (info.st_mode & uiFOREIGN_WRITE) == 0) {
        return eTMPDIR_PRIVATE;
    }
    if ((info.st_mode & S_ISVTX) != 0 && (info.st_mode & uiFOREIGN_WRITE) != 0) {
        return eTMPDIR_SHARED;
    }
    return eTMPDIR_UNUSABLE;
}

// Another user may have made the folder first, or a link in its place: it is used only when it is a real
// folder of this user's.
std::string GetPrivateFolder(const std::string& shared) {
    const std::string path = shared + cPATH_SEPARATOR + pcPRIVATE_PREFIX + std::to_string(geteuid());
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 && !_sys::CreateFolder(path)) {
        return std::string();
    }
    const int fd = _sys::OpenOwnFolder(path);
    if (fd == -1) {
        return std::string();
    }
    close(fd);
    return path;
}

} // namespace

namespace _sys {

bool GetTempFolder(std::string& path) {
    path = GetTmpDir();
    switch (JudgeTmpDir(path)) {
    case eTMPDIR_PRIVATE:
        break;
    case eTMPDIR_SHARED:
        path = GetPrivateFolder(path);
        break;
    case eTMPDIR_UNUSABLE:
        path = GetPrivateFolder(pcSHARED_FALLBACK);
        break;
    }
    if (path.size() > uiPATH_LIMIT) {
        path.clear();
    }
    return !path.empty();
}

} // namespace _sys

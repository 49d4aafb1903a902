// The user's temporary folder on Linux: the first usable of $TMPDIR, /tmp and $XDG_RUNTIME_DIR. A folder is
// usable only when it is reached from the root through folders that no other user can change
// (TrustedFolder.h), so that the path given to the companion later leads where the export went. $TMPDIR is
// used as it is when it is the user's own and nobody else can write to it; in a shared folder with the sticky
// bit (like /tmp) the user gets a private folder quenfield-<uid> inside it, as long as that name holds a real
// folder of the user's (someone else may have taken it first); $XDG_RUNTIME_DIR only when it is the user's
// and closed to everyone else. The folder found is held open (CheckedFolder.h) until the export is done with
// it.
#include "platform/TempFolder.h"

#include "platform/Path.h"
#include "platform/linux/CheckedFolder.h"
#include "platform/linux/TrustedFolder.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const pcSHARED_FALLBACK = "/tmp";
const char* const pcPRIVATE_PREFIX = "quenfield-";
const mode_t uiFOLDER_MODE = 0700;
const mode_t uiFOREIGN_ANY = S_IRWXG | S_IRWXO;

struct SCandidate {
    std::string strPath;
    int iDescriptor = -1;
};

// The variable without its trailing separators when it is absolute; empty otherwise.
std::string GetAbsolute(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != cPATH_SEPARATOR) {
        return std::string();
    }
    std::string path(value);
    while (!path.empty() && path.back() == cPATH_SEPARATOR) {
        path.pop_back();
    }
    return path;
}

SCandidate OpenPrivateChild(int shared, const std::string& path) {
    const std::string name = pcPRIVATE_PREFIX + std::to_string(geteuid());
    mkdirat(shared, name.c_str(), uiFOLDER_MODE);
    return SCandidate{path + cPATH_SEPARATOR + name, _sys::OpenOwnFolder(shared, name)};
}

// The folder itself when it is the user's and shut to others as closed says; its private folder when it is
// shared and sticky (and shared is allowed).
SCandidate OpenCandidate(const std::string& path, mode_t closed, bool shared) {
    const int fd = _sys::OpenTrustedFolder(path);
    struct stat info {};
    if (fd == -1 || fstat(fd, &info) != 0) {
        return SCandidate{};
    }
    if (info.st_uid == geteuid() && (info.st_mode & closed) == 0) {
        return SCandidate{path, fd};
    }
    SCandidate candidate;
    if (shared && (info.st_mode & S_ISVTX) != 0 && (info.st_mode & uiFOREIGN_WRITE) != 0) {
        candidate = OpenPrivateChild(fd, path);
    }
    close(fd);
    return candidate;
}

SCandidate FindTempFolder() {
    const std::string tmpdir = GetAbsolute("TMPDIR");
    SCandidate found;
    if (!tmpdir.empty()) {
        found = OpenCandidate(tmpdir, uiFOREIGN_WRITE, true);
    }
    if (found.iDescriptor == -1) {
        found = OpenCandidate(pcSHARED_FALLBACK, uiFOREIGN_WRITE, true);
    }
    const std::string runtime = GetAbsolute("XDG_RUNTIME_DIR");
    if (found.iDescriptor == -1 && !runtime.empty()) {
        found = OpenCandidate(runtime, uiFOREIGN_ANY, false);
    }
    return found;
}

} // namespace

namespace _sys {

bool GetTempFolder(std::string& path) {
    path.clear();
    const SCandidate found = FindTempFolder();
    if (found.iDescriptor == -1) {
        return false;
    }
    if (found.strPath.size() >= uiPATH_CAPACITY) {
        close(found.iDescriptor);
        return false;
    }
    HoldTempFolder(found.strPath, found.iDescriptor);
    path = found.strPath;
    return true;
}

} // namespace _sys

// The user's temporary folder on Linux: $TMPDIR when it names an existing folder, else a private folder of
// the user's own under /tmp.
#include "System/Files.h"
#include "System/Helpers.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t uiPATH_LIMIT = 255;
const char* const pcFALLBACK_PREFIX = "/tmp/quenfield-";

// $TMPDIR without its trailing separators when it is absolute and names a folder; empty otherwise.
std::string GetTmpDir() {
    const char* value = std::getenv("TMPDIR");
    if (value == nullptr || value[0] != cPATH_SEPARATOR) {
        return std::string();
    }
    std::string path(value);
    while (!path.empty() && path.back() == cPATH_SEPARATOR) {
        path.pop_back();
    }
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::string();
    }
    return path;
}

// /tmp is shared: the folder is only used when it is a real folder of this user's, never through a link.
std::string GetFallbackFolder() {
    const std::string path = pcFALLBACK_PREFIX + std::to_string(geteuid());
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 && !_sys::CreateFolder(path)) {
        return std::string();
    }
    return _sys::SecureFolder(path) ? path : std::string();
}

} // namespace

namespace _sys {

bool GetTempFolder(std::string& path) {
    path = GetTmpDir();
    if (path.empty()) {
        path = GetFallbackFolder();
    }
    if (path.size() > uiPATH_LIMIT) {
        path.clear();
    }
    return !path.empty();
}

} // namespace _sys

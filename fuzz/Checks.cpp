#include "Checks.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace fuzz {

void Require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz invariant violated: %s\n", what.c_str());
        std::abort();
    }
}

std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.insert(name);
        }
    }
    closedir(dir);
    return names;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace fuzz

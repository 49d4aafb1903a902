// Folder listing and the file-type test on Linux.
#include "System/Files.h"
#include "System/Path.h"

#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct SCloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

namespace _sys {

bool IsFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        return false;
    }
    return S_ISREG(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISFIFO(info.st_mode);
}

} // namespace _sys

namespace _hlp {

std::vector<std::string> GetFolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty()) {
        return names;
    }
    const std::unique_ptr<DIR, SCloseFolder> entries(opendir(folder.c_str()));
    if (!entries) {
        return names;
    }
    while (const dirent* entry = readdir(entries.get())) {
        if (!IsDotEntry(entry->d_name) && _sys::IsFile(CreatePath(folder, entry->d_name))) {
            names.emplace_back(entry->d_name);
        }
    }
    return names;
}

} // namespace _hlp

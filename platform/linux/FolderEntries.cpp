// Folder listing and the file-type test on Linux.
#include "platform/FolderEntries.h"
#include "platform/linux/FolderEntries.h"

#include "platform/linux/CheckedFolder.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SCloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool IsFileType(mode_t mode) {
    return S_ISREG(mode) || S_ISSOCK(mode) || S_ISFIFO(mode);
}

} // namespace

namespace _sys {

bool IsFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        return false;
    }
    return IsFileType(info.st_mode);
}

std::vector<std::string> ListFiles(int folder) {
    std::vector<std::string> names;
    // A descriptor of its own for the listing: closedir closes it, and the caller's stays open.
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing == -1) {
        return names;
    }
    const std::unique_ptr<DIR, SCloseFolder> entries(fdopendir(listing));
    if (!entries) {
        close(listing);
        return names;
    }
    while (const dirent* entry = readdir(entries.get())) {
        struct stat info {};
        if (!IsDotEntry(entry->d_name) && fstatat(folder, entry->d_name, &info, 0) == 0 &&
            IsFileType(info.st_mode)) {
            names.emplace_back(entry->d_name);
        }
    }
    return names;
}

} // namespace _sys

namespace _hlp {

std::vector<std::string> GetFolderEntries(const std::string& folder) {
    if (folder.empty()) {
        return std::vector<std::string>();
    }
    const _sys::CFolderAccess access(folder);
    if (access.GetDescriptor() == -1) {
        return std::vector<std::string>();
    }
    return _sys::ListFiles(access.GetDescriptor());
}

} // namespace _hlp

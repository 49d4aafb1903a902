#include "ExportedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace host {
namespace {

// The first 64 bytes, read without touching the access time, by which the host tells when the companion has
// read the file.
std::string ReadHead(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char bytes[64];
    const ssize_t count = read(fd, bytes, sizeof bytes);
    close(fd);
    return count > 0 ? std::string(bytes, static_cast<size_t>(count)) : std::string();
}

// The first three header lines: magic, width, height.
void DescribeHeader(ExportedFile& file) {
    std::istringstream in(ReadHead(file.path));
    std::string magic;
    std::string width;
    std::string height;
    std::getline(in, magic);
    std::getline(in, width);
    std::getline(in, height);
    if (magic == "P6") {
        file.format = "PPM, 16-bit";
    } else if (magic == "PF") {
        file.format = "PFM, 32-bit float";
    } else {
        file.format = "not a PPM or PFM";
        return;
    }
    file.size = width + "x" + height;
}

} // namespace

std::filesystem::path ExportFolder() {
    // As the plug-in chooses it: $TMPDIR when it is absolute and names a folder, else a folder of the user's
    // own under /tmp.
    const char* tmpdir = std::getenv("TMPDIR");
    std::error_code error;
    if (tmpdir != nullptr && tmpdir[0] == '/' && std::filesystem::is_directory(tmpdir, error)) {
        return std::filesystem::path(tmpdir) / "QuenfieldImport";
    }
    return std::filesystem::path("/tmp") / ("quenfield-" + std::to_string(geteuid())) / "QuenfieldImport";
}

std::optional<ExportedFile> FindExportedFile() {
    std::error_code error;
    std::optional<ExportedFile> newest;
    std::filesystem::file_time_type newestTime;
    for (const auto& entry : std::filesystem::directory_iterator(ExportFolder(), error)) {
        if (!entry.is_regular_file(error)) {
            continue;
        }
        const auto time = entry.last_write_time(error);
        if (!newest || time > newestTime) {
            newest = ExportedFile{entry.path(), "", "", entry.file_size(error), time};
            newestTime = time;
        }
    }
    if (newest) {
        DescribeHeader(*newest);
    }
    return newest;
}

bool RemoveUnfinishedFile(const std::optional<ExportedFile>& before) {
    const std::optional<ExportedFile> now = FindExportedFile();
    if (!now || (before && before->path == now->path && before->written == now->written)) {
        return false;
    }
    // Through the folder's descriptor, so a folder swapped in meanwhile is not where a file is removed.
    const int folder = open(ExportFolder().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    const bool removed = unlinkat(folder, now->path.filename().c_str(), 0) == 0;
    close(folder);
    return removed;
}

} // namespace host

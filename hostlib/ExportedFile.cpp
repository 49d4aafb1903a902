#include "ExportedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
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
    // As the plug-in chooses it: $TMPDIR when it is the user's own and nobody else can write to it; inside a
    // shared folder with the sticky bit, a private quenfield-<uid>; otherwise quenfield-<uid> under /tmp.
    const std::string own = "quenfield-" + std::to_string(geteuid());
    const char* tmpdir = std::getenv("TMPDIR");
    struct stat info {};
    if (tmpdir != nullptr && tmpdir[0] == '/' && stat(tmpdir, &info) == 0 && S_ISDIR(info.st_mode)) {
        const bool foreignWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if (info.st_uid == geteuid() && !foreignWrite) {
            return std::filesystem::path(tmpdir) / "QuenfieldImport";
        }
        if (foreignWrite && (info.st_mode & S_ISVTX) != 0) {
            return std::filesystem::path(tmpdir) / own / "QuenfieldImport";
        }
    }
    return std::filesystem::path("/tmp") / own / "QuenfieldImport";
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
            newest = ExportedFile{entry.path(), "", "", entry.file_size(error)};
            newestTime = time;
        }
    }
    if (newest) {
        DescribeHeader(*newest);
    }
    return newest;
}

} // namespace host

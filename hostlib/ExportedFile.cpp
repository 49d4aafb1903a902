#include "ExportedFile.h"

#include "ExpectedFile.h"
#include "TempFolderRule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

namespace host {
namespace {

// The plug-in's path field holds 255 bytes.
constexpr size_t kPathLimit = 255;

// The first three header lines: magic, width, height.
void DescribeHeader(ExportedFile& file, const std::string& head) {
    std::istringstream in(head);
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

std::filesystem::path FittedPath(const std::filesystem::path& folder, const std::string& name) {
    const std::string whole = (folder / name).string();
    if (whole.size() <= kPathLimit) {
        return whole;
    }
    const size_t point = name.rfind('.');
    const size_t excess = whole.size() - kPathLimit;
    return folder / (name.substr(0, point - std::min(point, excess)) + name.substr(point));
}

std::filesystem::path ExportFolder() {
    const std::filesystem::path temp = ChooseTempFolder().folder;
    return temp.empty() ? std::filesystem::path() : temp / "QuenfieldImport";
}

std::optional<ExportedFile> FindExportedFile(const DocumentInfo& document) {
    const std::filesystem::path folder = ExportFolder();
    const std::string name =
        ExpectedName(document.name, static_cast<int16_t>(8 * BytesPerSample(document.sample)));
    if (folder.empty() || name.empty()) {
        return std::nullopt;
    }
    ExportedFile file{FittedPath(folder, name), "", "", 0};
    // Whatever stands under the name, nothing waits on it and no link is followed.
    const int fd = open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOATIME | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    char head[64];
    ssize_t count = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        file.bytes = static_cast<uintmax_t>(info.st_size);
        count = read(fd, head, sizeof head);
    }
    close(fd);
    if (count < 0) {
        return std::nullopt;
    }
    DescribeHeader(file, std::string(head, static_cast<size_t>(count)));
    return file;
}

} // namespace host

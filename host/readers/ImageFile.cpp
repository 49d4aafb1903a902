#include "OpenImage.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace host {

ImageFile::ImageFile(std::filesystem::path path, int fd, uint64_t memoryLimit)
    : path_(std::move(path)), fd_(fd), memoryLimit_(memoryLimit) {}

ImageFile::~ImageFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

ImageFile::ImageFile(ImageFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), memoryLimit_(other.memoryLimit_) {}

void ImageFile::CheckMemory(uint64_t need, const std::string& what) const {
    if (need > memoryLimit_) {
        throw ImageError(what + " needs " + ByteCount(need) + " of memory, more than the limit of " +
                         ByteCount(memoryLimit_) + " (--memory-limit sets it)");
    }
}

uint64_t MultiplySaturated(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

std::string ByteCount(uint64_t bytes) {
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    for (; value >= 1024 && unit + 1 < std::size(units); ++unit) {
        value /= 1024;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

} // namespace host

#include "OpenImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace host {
namespace {

using Signature = std::array<unsigned char, 8>;

bool StartsWith(const Signature& bytes, std::initializer_list<unsigned char> prefix) {
    return std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

OpenedImage OnePage(std::unique_ptr<RowSource> rows, uint32_t page) {
    if (page != 1) {
        throw ImageError("it has only one page; there is no page " + std::to_string(page));
    }
    return {std::move(rows), 1, 1};
}

// Readers go back and forth in the file and name the document after it, which a stream cannot give them.
void RequireRegular(mode_t mode) {
    if (S_ISREG(mode)) {
        return;
    }
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a FIFO or pipe; save what it carries to a file first"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "a device";
    throw ImageError(std::string("not a regular file: it is ") + kind);
}

// Opened without waiting (a FIFO would block until a writer came), checked on the descriptor, then made
// blocking again for the readers. A link is followed: the user named it.
int OpenRegular(const std::filesystem::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        RequireRegular(info.st_mode); // before opening, as opening a device may do something
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
    }
    try {
        if (fstat(fd, &info) != 0) {
            throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
        }
        RequireRegular(info.st_mode);
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
        }
    } catch (...) {
        close(fd);
        throw;
    }
    return fd;
}

} // namespace

OpenedImage OpenImage(const std::filesystem::path& path, uint32_t page, uint64_t memoryLimit) {
    ImageFile file(path, OpenRegular(path), memoryLimit);
    Signature bytes{};
    const ssize_t count = pread(file.Descriptor(), bytes.data(), bytes.size(), 0);
    if (count < 0) {
        throw ImageError(std::string("cannot read it: ") + std::strerror(errno));
    }
    if (count < 4) {
        throw ImageError("too short to be an image file");
    }
    if (StartsWith(bytes, {'I', 'I', 42, 0}) || StartsWith(bytes, {'M', 'M', 0, 42}) ||
        StartsWith(bytes, {'I', 'I', 43, 0}) || StartsWith(bytes, {'M', 'M', 0, 43})) {
        return OpenTiff(std::move(file), page);
    }
    if (StartsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return OnePage(OpenPng(std::move(file)), page);
    }
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        return OnePage(OpenJpeg(std::move(file)), page);
    }
    if (StartsWith(bytes, {0x76, 0x2F, 0x31, 0x01})) {
        return OnePage(OpenExr(std::move(file)), page);
    }
    throw ImageError("not a TIFF, PNG, JPEG or OpenEXR file");
}

} // namespace host

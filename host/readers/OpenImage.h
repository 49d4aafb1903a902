// Image files as documents: TIFF, PNG, JPEG and OpenEXR, read row by row as the plug-in asks for rows.
#ifndef QUENFIELD_HOST_OPENIMAGE_H
#define QUENFIELD_HOST_OPENIMAGE_H

#include "Document.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace host {

// Why a file cannot be exported: unreadable, corrupt, of a kind the plug-in interface cannot carry, or larger
// to decode than the memory limit allows.
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What an image that is decoded whole (interlaced PNG, progressive JPEG) or in wide blocks (OpenEXR) may
// take.
constexpr uint64_t kDefaultMemoryLimit = uint64_t{1} << 30;

// An image file as opened and checked once: a regular file. The readers open it again through the
// descriptor's /proc entry, so every read is of that same file, whatever its name is given to meanwhile.
class ImageFile {
public:
    ImageFile(std::filesystem::path path, int fd, uint64_t memoryLimit);
    ~ImageFile();
    ImageFile(ImageFile&& other) noexcept;
    ImageFile& operator=(ImageFile&&) = delete;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string Name() const { return path_.filename().string(); }
    int Descriptor() const { return fd_; }
    std::string OpenPath() const { return "/proc/self/fd/" + std::to_string(fd_); }
    uint64_t MemoryLimit() const { return memoryLimit_; }
    // Throws ImageError, giving the need and the limit, when a decode would need more than the limit.
    void CheckMemory(uint64_t need, const std::string& what) const;

private:
    std::filesystem::path path_;
    int fd_;
    uint64_t memoryLimit_;
};

// Saturates instead of wrapping, so that a declared size past 2^64 bytes stays over any limit.
uint64_t MultiplySaturated(uint64_t a, uint64_t b);
// "1.5 GiB", "640 MiB", "12 KiB", "100 bytes".
std::string ByteCount(uint64_t bytes);

// One page of an image file; files of other kinds than TIFF have one page.
struct OpenedImage {
    std::unique_ptr<RowSource> rows;
    uint32_t page = 1; // counted from 1
    uint32_t pages = 1;
};

// Chooses the reader by the file's signature, not its name. Throws ImageError with the reason: also when the
// path names no regular file (a FIFO, a device, a folder), or the file has no such page.
OpenedImage OpenImage(const std::filesystem::path& path, uint32_t page = 1,
                      uint64_t memoryLimit = kDefaultMemoryLimit);

OpenedImage OpenTiff(ImageFile file, uint32_t page);
std::unique_ptr<RowSource> OpenPng(ImageFile file);
std::unique_ptr<RowSource> OpenJpeg(ImageFile file);
std::unique_ptr<RowSource> OpenExr(ImageFile file);

} // namespace host

#endif

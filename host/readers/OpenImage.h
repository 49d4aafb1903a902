// Image files as documents: TIFF, PNG, JPEG and OpenEXR, read row by row as the plug-in asks for rows.
#ifndef QUENFIELD_HOST_OPENIMAGE_H
#define QUENFIELD_HOST_OPENIMAGE_H

#include "Document.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace host {

// Why a file cannot be exported: unreadable, corrupt or of a kind the plug-in interface cannot carry.
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One page of an image file; files of other kinds than TIFF have one page.
struct OpenedImage {
    std::unique_ptr<RowSource> rows;
    uint32_t page = 1; // counted from 1
    uint32_t pages = 1;
};

// Chooses the reader by the file's signature, not its name. Throws ImageError with the reason, also when the
// file has no such page.
OpenedImage OpenImage(const std::filesystem::path& path, uint32_t page = 1);

OpenedImage OpenTiff(const std::filesystem::path& path, uint32_t page);
std::unique_ptr<RowSource> OpenPng(const std::filesystem::path& path);
std::unique_ptr<RowSource> OpenJpeg(const std::filesystem::path& path);
std::unique_ptr<RowSource> OpenExr(const std::filesystem::path& path);

} // namespace host

#endif

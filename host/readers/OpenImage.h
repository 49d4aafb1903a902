// Image files as documents: TIFF, PNG and OpenEXR, read row by row as the plug-in asks for rows.
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

// Chooses the reader by the file's signature, not its name. Throws ImageError with the reason.
std::unique_ptr<RowSource> OpenImage(const std::filesystem::path& path);

std::unique_ptr<RowSource> OpenTiff(const std::filesystem::path& path);
std::unique_ptr<RowSource> OpenPng(const std::filesystem::path& path);
std::unique_ptr<RowSource> OpenExr(const std::filesystem::path& path);

} // namespace host

#endif

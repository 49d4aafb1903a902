#include "OpenImage.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

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

} // namespace

OpenedImage OpenImage(const std::filesystem::path& path, uint32_t page) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw ImageError("it is a folder");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
    }
    Signature bytes{};
    file.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    if (file.gcount() < 4) {
        throw ImageError("too short to be an image file");
    }
    if (StartsWith(bytes, {'I', 'I', 42, 0}) || StartsWith(bytes, {'M', 'M', 0, 42}) ||
        StartsWith(bytes, {'I', 'I', 43, 0}) || StartsWith(bytes, {'M', 'M', 0, 43})) {
        return OpenTiff(path, page);
    }
    if (StartsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return OnePage(OpenPng(path), page);
    }
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        return OnePage(OpenJpeg(path), page);
    }
    if (StartsWith(bytes, {0x76, 0x2F, 0x31, 0x01})) {
        return OnePage(OpenExr(path), page);
    }
    throw ImageError("not a TIFF, PNG, JPEG or OpenEXR file");
}

} // namespace host

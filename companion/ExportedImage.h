// The file the plug-in hands over: a PPM ("P6", 16-bit) or a three-channel PFM ("PF", 32-bit float, top row
// first), checked strictly against the form the plug-in writes and read one row at a time.
#ifndef QUENFIELD_COMPANION_EXPORTEDIMAGE_H
#define QUENFIELD_COMPANION_EXPORTEDIMAGE_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace companion {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ImageKind { Ppm16, Pfm32 };

class ExportedImage {
public:
    // Opens a regular file of the user's, never through a link, and checks the header, that the file holds
    // exactly the pixel bytes it announces and that a row fits the companion's row buffer, all before a row
    // is allocated. Throws ImportError.
    explicit ExportedImage(const std::filesystem::path& path);
    ~ExportedImage();
    ExportedImage(const ExportedImage&) = delete;
    ExportedImage& operator=(const ExportedImage&) = delete;

    ImageKind Kind() const { return kind_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }

    // The next row, top first: 3 samples per pixel, decoded into the processor's order. Throws ImportError.
    const uint16_t* NextPpmRow();
    const float* NextPfmRow();

private:
    void ReadHeader(uint64_t fileBytes);
    std::string ReadLine();
    uint32_t ReadDimension(const char* what);
    void ReadRowInto(void* samples, size_t bytes);

    std::FILE* file_ = nullptr;
    ImageKind kind_ = ImageKind::Ppm16;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint64_t headerBytes_ = 0;
    std::vector<uint16_t> ppmRow_;
    std::vector<float> pfmRow_;
};

} // namespace companion

#endif

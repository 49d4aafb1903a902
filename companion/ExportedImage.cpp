#include "ExportedImage.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace companion {
namespace {

// The longest line the plug-in writes is a 10-digit dimension.
constexpr size_t kMaxLine = 16;
constexpr int kSamplesPerPixel = 3;

} // namespace

ExportedImage::ExportedImage(const std::filesystem::path& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        throw ImportError(std::string("cannot open it: ") + std::strerror(errno));
    }
    struct stat info {};
    if (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file_);
        throw ImportError("it is not a regular file");
    }
    try {
        ReadHeader(static_cast<uint64_t>(info.st_size));
    } catch (...) {
        std::fclose(file_);
        throw;
    }
}

ExportedImage::~ExportedImage() {
    std::fclose(file_);
}

std::string ExportedImage::ReadLine() {
    std::string line;
    for (int c = std::fgetc(file_); c != '\n'; c = std::fgetc(file_)) {
        if (c == EOF || line.size() == kMaxLine) {
            throw ImportError("the header is not a PPM or PFM header as the plug-in writes it");
        }
        line.push_back(static_cast<char>(c));
    }
    headerBytes_ += line.size() + 1;
    return line;
}

// Decimal digits only, no sign, no leading zero, within the plug-in's signed 32-bit range.
uint32_t ExportedImage::ReadDimension(const char* what) {
    const std::string line = ReadLine();
    const bool digits = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || line[0] == '0' || line.size() > 10) {
        throw ImportError(std::string("the ") + what + " line \"" + line +
                          "\" is not a positive decimal number");
    }
    const uint64_t value = std::stoull(line);
    if (value > uint64_t(std::numeric_limits<int32_t>::max())) {
        throw ImportError(std::string("the ") + what + " " + line + " is out of range");
    }
    return static_cast<uint32_t>(value);
}

void ExportedImage::ReadHeader(uint64_t fileBytes) {
    const std::string magic = ReadLine();
    if (magic == "P6") {
        kind_ = ImageKind::Ppm16;
    } else if (magic == "PF") {
        kind_ = ImageKind::Pfm32;
    } else {
        throw ImportError("it is neither a PPM (P6) nor a three-channel PFM (PF)");
    }
    width_ = ReadDimension("width");
    height_ = ReadDimension("height");
    const std::string expected = kind_ == ImageKind::Ppm16 ? "65535" : "-1.0000";
    const std::string last = ReadLine();
    if (last != expected) {
        throw ImportError("the " + std::string(kind_ == ImageKind::Ppm16 ? "maximum value" : "scale") +
                          " is \"" + last + "\", not " + expected);
    }
    const uint64_t sampleBytes = kind_ == ImageKind::Ppm16 ? 2 : 4;
    const uint64_t rowBytes = uint64_t(width_) * kSamplesPerPixel * sampleBytes;
    const uint64_t expectedBytes = headerBytes_ + rowBytes * height_;
    if (fileBytes != expectedBytes) {
        throw ImportError("it holds " + std::to_string(fileBytes) + " bytes, but a " +
                          std::to_string(width_) + "x" + std::to_string(height_) + " image needs exactly " +
                          std::to_string(expectedBytes));
    }
    raw_.resize(rowBytes);
}

const unsigned char* ExportedImage::NextRawRow() {
    if (std::fread(raw_.data(), 1, raw_.size(), file_) != raw_.size()) {
        throw ImportError("the file ended early or cannot be read");
    }
    return raw_.data();
}

const uint16_t* ExportedImage::NextPpmRow() {
    const unsigned char* in = NextRawRow();
    ppmRow_.resize(size_t(width_) * kSamplesPerPixel);
    // PPM samples are stored most significant byte first.
    for (uint16_t& sample : ppmRow_) {
        sample = static_cast<uint16_t>((in[0] << 8) | in[1]);
        in += 2;
    }
    return ppmRow_.data();
}

const float* ExportedImage::NextPfmRow() {
    const unsigned char* in = NextRawRow();
    pfmRow_.resize(size_t(width_) * kSamplesPerPixel);
    // The negative scale marks least significant byte first.
    for (float& sample : pfmRow_) {
        const uint32_t bits =
            uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
        std::memcpy(&sample, &bits, sizeof sample);
        in += 4;
    }
    return pfmRow_.data();
}

} // namespace companion

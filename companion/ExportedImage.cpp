#include "ExportedImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace companion {
namespace {

// The longest line the plug-in writes is a 10-digit dimension.
constexpr size_t kMaxLine = 16;
// A row is read and converted whole: the widest row taken bounds the companion's memory whatever a header
// declares (11 million pixels of PPM, 5.5 million of PFM).
constexpr uint64_t kMaxRowBytes = uint64_t(64) << 20;
constexpr int kSamplesPerPixel = 3;

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a special file";
}

// Non-blocking and without following a link, so that a FIFO or a device in the file's place cannot stall the
// import; the descriptor blocks again once it is known to be a regular file of the user's.
int OpenExport(const std::filesystem::path& path, struct stat& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        throw ImportError(errno == ELOOP ? std::string("it is a symbolic link, not the exported file")
                                         : std::string("cannot open it: ") + std::strerror(errno));
    }
    std::string refusal;
    if (::fstat(fd, &info) != 0) {
        refusal = std::string("cannot read its status: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        refusal = std::string("it is ") + KindOf(info.st_mode) + ", not a regular file";
    } else if (info.st_uid != ::geteuid()) {
        refusal = "it belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        refusal = std::string("cannot read it: ") + std::strerror(errno);
    }
    if (!refusal.empty()) {
        ::close(fd);
        throw ImportError(refusal);
    }
    return fd;
}

} // namespace

ExportedImage::ExportedImage(const std::filesystem::path& path) {
    struct stat info {};
    const int fd = OpenExport(path, info);
    file_ = ::fdopen(fd, "rb");
    if (file_ == nullptr) {
        ::close(fd);
        throw ImportError(std::string("cannot read it: ") + std::strerror(errno));
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
    if (rowBytes > kMaxRowBytes) {
        throw ImportError("its rows of " + std::to_string(width_) + " pixels take " +
                          std::to_string(rowBytes) + " bytes each, more than the " +
                          std::to_string(kMaxRowBytes) + " bytes the companion reads at once");
    }
    if (kind_ == ImageKind::Ppm16) {
        ppmRow_.resize(size_t(width_) * kSamplesPerPixel);
    } else {
        pfmRow_.resize(size_t(width_) * kSamplesPerPixel);
    }
}

// Reads the row's bytes into the samples' own storage, which each sample's conversion then overwrites: one
// row's worth of memory.
void ExportedImage::ReadRowInto(void* samples, size_t bytes) {
    if (std::fread(samples, 1, bytes, file_) != bytes) {
        throw ImportError("the file ended early or cannot be read");
    }
}

const uint16_t* ExportedImage::NextPpmRow() {
    ReadRowInto(ppmRow_.data(), ppmRow_.size() * sizeof(uint16_t));
    // PPM samples are stored most significant byte first.
    for (uint16_t& sample : ppmRow_) {
        unsigned char in[2];
        std::memcpy(in, &sample, sizeof in);
        sample = static_cast<uint16_t>((in[0] << 8) | in[1]);
    }
    return ppmRow_.data();
}

const float* ExportedImage::NextPfmRow() {
    ReadRowInto(pfmRow_.data(), pfmRow_.size() * sizeof(float));
    // The negative scale marks least significant byte first.
    for (float& sample : pfmRow_) {
        unsigned char in[4];
        std::memcpy(in, &sample, sizeof in);
        const uint32_t bits =
            uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
        std::memcpy(&sample, &bits, sizeof sample);
    }
    return pfmRow_.data();
}

} // namespace companion

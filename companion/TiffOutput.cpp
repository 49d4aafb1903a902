#include "TiffOutput.h"

#include <tiffio.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace companion {
namespace {

// libtiff otherwise buffers a whole strip, at least a row, however wide.
constexpr tmsize_t kWriteBufferBytes = 1 << 20;

int KeepError(TIFF*, void* userData, const char*, const char* format, va_list args) {
    auto* lastError = static_cast<std::string*>(userData);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    *lastError = text;
    return 1;
}

// Imports of one name may overlap (a companion is started per export and not awaited), so each writes a
// partial file of its own, created exclusively: a shared one would be truncated under the other import and
// renamed away from it. open() rather than mkstemp() so that the file gets the user's umask like any other
// picture.
int CreatePartial(const std::filesystem::path& folder, const std::string& stem,
                  std::filesystem::path& partial) {
    std::random_device random;
    for (;;) {
        char tag[9];
        std::snprintf(tag, sizeof tag, "%08x", random());
        partial = folder / (stem + ".tif." + tag + ".part");
        const int fd = ::open(partial.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            throw ImportError("cannot create " + partial.string() + ": " + std::strerror(errno));
        }
    }
}

} // namespace

TiffOutput::TiffOutput(const std::filesystem::path& folder, const std::string& stem, ImageKind kind,
                       uint32_t width, uint32_t height)
    : folder_(folder), stem_(stem) {
    const int fd = CreatePartial(folder, stem, partial_);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepError, &lastError_);
    // "8": BigTIFF when the image passes the classic format's 4 GB.
    const uint64_t bytes = uint64_t(width) * height * 3 * (kind == ImageKind::Ppm16 ? 2 : 4);
    const char* mode = bytes > (uint64_t(4) << 30) - (uint64_t(1) << 20) ? "w8" : "w";
    tiff_ = TIFFFdOpenExt(fd, partial_.c_str(), mode, options);
    TIFFOpenOptionsFree(options);
    if (tiff_ == nullptr) {
        ::close(fd);
        std::error_code ignored;
        std::filesystem::remove(partial_, ignored);
        throw ImportError("cannot create " + partial_.string() + ": " + lastError_);
    }
    const bool ppm = kind == ImageKind::Ppm16;
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, ppm ? 16 : 32);
    TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, ppm ? SAMPLEFORMAT_UINT : SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff_, 0));
    TIFFSetField(tiff_, TIFFTAG_SOFTWARE, "quenfield-import");
    TIFFWriteBufferSetup(tiff_, nullptr, kWriteBufferBytes);
}

TiffOutput::~TiffOutput() {
    Close();
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(partial_, ignored);
    }
}

void TiffOutput::Close() {
    if (tiff_ != nullptr) {
        TIFFClose(tiff_);
        tiff_ = nullptr;
    }
}

// libtiff's message names the step; the system's reason (a full disk, a file-size limit) is in errno.
std::string TiffOutput::Reason() const {
    return errno != 0 ? lastError_ + ": " + std::strerror(errno) : lastError_;
}

void TiffOutput::WriteRow(const void* samples) {
    errno = 0;
    // libtiff takes the row as writable, but does not change it for uncompressed output.
    if (TIFFWriteScanline(tiff_, const_cast<void*>(samples), nextRow_, 0) != 1) {
        throw ImportError("writing row " + std::to_string(nextRow_) + " of " + partial_.string() +
                          " failed: " + Reason());
    }
    ++nextRow_;
}

std::filesystem::path TiffOutput::Commit() {
    // TIFFFlush writes the directory; a failure here is a failed import, not a truncated TIFF.
    errno = 0;
    if (TIFFFlush(tiff_) != 1) {
        throw ImportError("finishing " + partial_.string() + " failed: " + Reason());
    }
    Close();
    for (int attempt = 1;; ++attempt) {
        const std::string suffix = attempt == 1 ? "" : "-" + std::to_string(attempt);
        const std::filesystem::path target = folder_ / (stem_ + suffix + ".tif");
        if (renameat2(AT_FDCWD, partial_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            committed_ = true;
            return target;
        }
        if (errno != EEXIST) {
            throw ImportError("cannot name the imported file " + target.string() + ": " +
                              std::strerror(errno));
        }
    }
}

} // namespace companion

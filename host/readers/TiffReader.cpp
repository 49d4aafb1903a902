// TIFF through libtiff: strips read strip by strip, tiles one row of tiles at a time, so only the band of
// rows around the current one is held. Planar-separate files are interleaved band by band. Gray below 8 bits,
// white-is-zero gray and palette colour go through libtiff's own RGBA transform, strip by strip, into 8-bit
// gray or RGB.
#include "BandRows.h"
#include "OpenImage.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace host {
namespace {

// Bands above this are read scanline by scanline where libtiff allows it (contiguous strips).
constexpr uint64_t kMaxStripBandBytes = 16u << 20;
// Larger bands (huge planar-separate strips, very tall tiles) are refused rather than held.
constexpr uint64_t kMaxBandBytes = 256u << 20;
// A corrupt file must not make libtiff allocate without bound.
constexpr tmsize_t kMaxSingleAllocation = 512 << 20;

std::string FormatMessage(const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

int KeepError(TIFF*, void* userData, const char*, const char* format, va_list args) {
    auto* lastError = static_cast<std::string*>(userData);
    if (lastError->empty()) {
        *lastError = FormatMessage(format, args);
    }
    return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

class TiffReader final : public RowSource {
public:
    TiffReader(ImageFile file, uint32_t page) : file_(std::move(file)) {
        info_.name = file_.Name();
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetErrorHandlerExtR(options, KeepError, &lastError_);
        TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
        // "m": no memory mapping, whose touched pages would count against the host's memory.
        // A descriptor of its own (libtiff closes it), its messages naming the file as the user did.
        const int fd = open(file_.OpenPath().c_str(), O_RDONLY | O_CLOEXEC);
        tiff_ = fd >= 0 ? TIFFFdOpenExt(fd, file_.Path().c_str(), "rm", options) : nullptr;
        TIFFOpenOptionsFree(options);
        if (fd < 0) {
            throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
        }
        if (tiff_ == nullptr) {
            close(fd);
        }
        if (tiff_ == nullptr) {
            throw ImageError("not a readable TIFF: " + TakeError());
        }
        try {
            SelectPage(page);
            ReadLayout();
        } catch (...) {
            TIFFClose(tiff_);
            throw;
        }
    }
    ~TiffReader() override { TIFFClose(tiff_); }
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;

    const DocumentInfo& Info() const override { return info_; }
    uint32_t Pages() const { return pages_; }

    const void* Row(uint32_t y) override {
        return band_.Row(y, [this](uint32_t band) { LoadBand(band); });
    }

private:
    std::string TakeError() {
        std::string error = lastError_.empty() ? "unknown libtiff error" : lastError_;
        lastError_.clear();
        return error;
    }

    void SelectPage(uint32_t page) {
        pages_ = TIFFNumberOfDirectories(tiff_);
        if (page < 1 || page > pages_) {
            throw ImageError("it has " + std::to_string(pages_) + (pages_ == 1 ? " page" : " pages") +
                             "; there is no page " + std::to_string(page));
        }
        if (page > 1 && TIFFSetDirectory(tiff_, static_cast<tdir_t>(page - 1)) != 1) {
            throw ImageError("page " + std::to_string(page) + " cannot be read: " + TakeError());
        }
    }

    void ReadLayout() {
        uint16_t photometric = 0;
        if (TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
            throw ImageError("the TIFF names no colour model (photometric interpretation)");
        }
        uint16_t bits = 0;
        uint16_t format = 0;
        uint16_t samples = 0;
        uint16_t planar = 0;
        uint16_t compression = 0;
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &info_.width);
        TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &info_.height);

        rgba_ = NeedsRgbaTransform(photometric, bits, format);
        if (!rgba_ && photometric == PHOTOMETRIC_MINISWHITE) {
            throw ImageError("white-is-zero gray of more than 8 bits is not supported");
        }
        if (!rgba_ && photometric == PHOTOMETRIC_PALETTE) {
            throw ImageError("palette colour of more than 8 bits is not supported");
        }
        info_.color = ColorOf(photometric);
        info_.sample = rgba_ ? SampleType::UInt8 : SampleOf(bits, format);
        const uint16_t colorSamples = info_.color == ColorModel::Gray ? 1 : 3;
        const uint16_t storedColorSamples = photometric == PHOTOMETRIC_PALETTE ? 1 : colorSamples;
        if (samples < storedColorSamples) {
            throw ImageError(std::to_string(samples) + " samples per pixel are too few for its colour model");
        }
        // The transform keeps one extra channel, as alpha.
        info_.channels = rgba_ ? uint16_t(colorSamples + (samples > storedColorSamples ? 1 : 0)) : samples;
        if (info_.width == 0 || info_.height == 0) {
            throw ImageError("the TIFF has no pixels");
        }
        if (!TIFFIsCODECConfigured(compression)) {
            throw ImageError("its compression (scheme " + std::to_string(compression) +
                             ") is not supported by libtiff here");
        }
        separate_ = planar == PLANARCONFIG_SEPARATE;
        tiled_ = TIFFIsTiled(tiff_) != 0;
        if (rgba_) {
            CheckRgbaTransform();
        }
        ChooseBands();
    }

    // Unsigned gray of 1, 2 or 4 bits, white-is-zero gray of up to 8 bits and palette colour of up to 8 bits.
    static bool NeedsRgbaTransform(uint16_t photometric, uint16_t bits, uint16_t format) {
        const bool lowBits = bits == 1 || bits == 2 || bits == 4;
        if (format != SAMPLEFORMAT_UINT || !(lowBits || bits == 8)) {
            return false;
        }
        return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_PALETTE ||
               (photometric == PHOTOMETRIC_MINISBLACK && lowBits);
    }

    void CheckRgbaTransform() {
        char reason[1024] = "";
        if (tiled_) {
            throw ImageError("tiled TIFFs of palette colour, white-is-zero or gray below 8 bits are not "
                             "supported");
        }
        if (TIFFRGBAImageOK(tiff_, reason) != 1) {
            throw ImageError(std::string("libtiff cannot expand its samples: ") + reason);
        }
    }

    static ColorModel ColorOf(uint16_t photometric) {
        switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            return ColorModel::Gray;
        case PHOTOMETRIC_RGB:
        case PHOTOMETRIC_PALETTE:
            return ColorModel::Rgb;
        case PHOTOMETRIC_SEPARATED:
            throw ImageError("CMYK (separated) colour is not supported");
        case PHOTOMETRIC_YCBCR:
            throw ImageError("YCbCr colour is not supported");
        default:
            throw ImageError("the colour model (photometric " + std::to_string(photometric) +
                             ") is not supported; only gray and RGB are");
        }
    }

    static SampleType SampleOf(uint16_t bits, uint16_t format) {
        if (format == SAMPLEFORMAT_INT) {
            throw ImageError("signed integer samples are not supported");
        }
        if (format == SAMPLEFORMAT_UINT && bits == 8) {
            return SampleType::UInt8;
        }
        if (format == SAMPLEFORMAT_UINT && bits == 16) {
            return SampleType::UInt16;
        }
        if (format == SAMPLEFORMAT_IEEEFP && bits == 32) {
            return SampleType::Float32;
        }
        const std::string kind = format == SAMPLEFORMAT_IEEEFP ? " floating-point" : "";
        throw ImageError(std::to_string(bits) + "-bit" + kind +
                         " samples are not supported; 8 and 16-bit unsigned and 32-bit float are");
    }

    void ChooseBands() {
        const uint64_t rowBytes = info_.RowBytes();
        if (tiled_) {
            TIFFGetField(tiff_, TIFFTAG_TILEWIDTH, &tileWidth_);
            TIFFGetField(tiff_, TIFFTAG_TILELENGTH, &bandRows_);
            if (tileWidth_ == 0 || bandRows_ == 0) {
                throw ImageError("the TIFF's tiles have no size");
            }
        } else {
            TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &bandRows_);
            bandRows_ = std::clamp<uint32_t>(bandRows_, 1, info_.height);
            scanlines_ = !rgba_ && !separate_ && bandRows_ * rowBytes > kMaxStripBandBytes;
            if (scanlines_) {
                bandRows_ = 1;
            }
        }
        const uint64_t bandBytes = uint64_t(bandRows_) * rowBytes;
        const uint64_t rasterBytes = rgba_ ? uint64_t(bandRows_) * info_.width * sizeof(uint32_t) : 0;
        if (bandBytes > kMaxBandBytes || rasterBytes > kMaxBandBytes) {
            throw ImageError("its " + std::string(tiled_ ? "tiles" : "strips") +
                             " are too large to read a band of " + std::to_string(bandRows_) +
                             " rows at a time");
        }
        band_.Resize(bandRows_, info_.RowBytes());
        raster_.resize(rasterBytes / sizeof(uint32_t));
        const tmsize_t chunk = rgba_       ? 0
                               : tiled_    ? TIFFTileSize(tiff_)
                               : separate_ ? TIFFStripSize(tiff_)
                                           : 0;
        if (chunk < 0) {
            throw ImageError("the TIFF's layout is inconsistent: " + TakeError());
        }
        scratch_.resize(static_cast<size_t>(chunk));
    }

    uint32_t RowsInBand(uint32_t band) const { return std::min(bandRows_, info_.height - band * bandRows_); }

    void LoadBand(uint32_t band) {
        if (rgba_) {
            LoadRgbaStrip(band);
        } else if (scanlines_) {
            if (TIFFReadScanline(tiff_, band_.Data(), band, 0) < 0) {
                throw ImageError("row " + std::to_string(band) + " cannot be read: " + TakeError());
            }
        } else if (tiled_) {
            LoadTileRow(band);
        } else {
            LoadStrips(band);
        }
    }

    // libtiff fills the raster bottom row first; the colour samples and, when there is one, alpha are kept.
    void LoadRgbaStrip(uint32_t band) {
        const uint32_t rows = RowsInBand(band);
        if (TIFFReadRGBAStrip(tiff_, band * bandRows_, raster_.data()) != 1) {
            throw ImageError("strip " + std::to_string(band) + " cannot be read: " + TakeError());
        }
        const bool gray = info_.color == ColorModel::Gray;
        const bool alpha = info_.channels == (gray ? 2 : 4);
        unsigned char* out = band_.Data();
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* in = raster_.data() + size_t(rows - 1 - r) * info_.width;
            for (uint32_t x = 0; x < info_.width; ++x) {
                const uint32_t pixel = in[x];
                *out++ = static_cast<unsigned char>(TIFFGetR(pixel));
                if (!gray) {
                    *out++ = static_cast<unsigned char>(TIFFGetG(pixel));
                    *out++ = static_cast<unsigned char>(TIFFGetB(pixel));
                }
                if (alpha) {
                    *out++ = static_cast<unsigned char>(TIFFGetA(pixel));
                }
            }
        }
    }

    void ReadStrip(uint32_t strip, void* into, tmsize_t bytes) {
        if (TIFFReadEncodedStrip(tiff_, strip, into, bytes) != bytes) {
            throw ImageError("strip " + std::to_string(strip) + " cannot be read: " + TakeError());
        }
    }

    void LoadStrips(uint32_t band) {
        const uint32_t rows = RowsInBand(band);
        const size_t sampleBytes = BytesPerSample(info_.sample);
        if (!separate_) {
            ReadStrip(TIFFComputeStrip(tiff_, band * bandRows_, 0), band_.Data(),
                      tmsize_t(rows) * tmsize_t(info_.RowBytes()));
            return;
        }
        const size_t pixels = size_t(rows) * info_.width;
        for (uint16_t s = 0; s < info_.channels; ++s) {
            ReadStrip(TIFFComputeStrip(tiff_, band * bandRows_, s), scratch_.data(),
                      tmsize_t(pixels * sampleBytes));
            Interleave(scratch_.data(), s, pixels, band_.Data());
        }
    }

    // Spreads one plane's samples into their place among the pixel's other samples.
    void Interleave(const unsigned char* plane, uint16_t sample, size_t pixels,
                    unsigned char* pixelsOut) const {
        const size_t sampleBytes = BytesPerSample(info_.sample);
        const size_t pixelBytes = sampleBytes * info_.channels;
        unsigned char* out = pixelsOut + sample * sampleBytes;
        for (size_t p = 0; p < pixels; ++p) {
            std::memcpy(out + p * pixelBytes, plane + p * sampleBytes, sampleBytes);
        }
    }

    void LoadTileRow(uint32_t band) {
        const uint32_t rows = RowsInBand(band);
        const size_t sampleBytes = BytesPerSample(info_.sample);
        const size_t pixelBytes = sampleBytes * info_.channels;
        const uint16_t planes = separate_ ? info_.channels : 1;
        const uint32_t top = band * bandRows_;
        for (uint32_t left = 0; left < info_.width; left += tileWidth_) {
            const uint32_t columns = std::min(tileWidth_, info_.width - left);
            for (uint16_t s = 0; s < planes; ++s) {
                if (TIFFReadTile(tiff_, scratch_.data(), left, top, 0, s) < 0) {
                    throw ImageError("the tile at column " + std::to_string(left) + ", row " +
                                     std::to_string(top) + " cannot be read: " + TakeError());
                }
                for (uint32_t r = 0; r < rows; ++r) {
                    unsigned char* out =
                        band_.Data() + size_t(r) * info_.RowBytes() + size_t(left) * pixelBytes;
                    if (separate_) {
                        Interleave(scratch_.data() + size_t(r) * tileWidth_ * sampleBytes, s, columns, out);
                    } else {
                        std::memcpy(out, scratch_.data() + size_t(r) * tileWidth_ * pixelBytes,
                                    columns * pixelBytes);
                    }
                }
            }
        }
    }

    ImageFile file_;
    TIFF* tiff_ = nullptr;
    std::string lastError_;
    DocumentInfo info_;
    bool tiled_ = false;
    bool separate_ = false;
    bool scanlines_ = false;
    bool rgba_ = false;
    uint32_t pages_ = 1;
    uint32_t bandRows_ = 1;
    uint32_t tileWidth_ = 0;
    BandRows band_;
    std::vector<unsigned char> scratch_;
    std::vector<uint32_t> raster_;
};

} // namespace

OpenedImage OpenTiff(ImageFile file, uint32_t page) {
    auto reader = std::make_unique<TiffReader>(std::move(file), page);
    const uint32_t pages = reader->Pages();
    return {std::move(reader), page, pages};
}

} // namespace host

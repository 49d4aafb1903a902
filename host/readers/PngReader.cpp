// PNG through libpng, one row per request from the top. An interlaced PNG cannot be read that way: its rows
// arrive in seven passes, so it is decoded whole into memory, within the memory limit. Palette colour, gray
// below 8 bits and a transparent colour (tRNS) are expanded by libpng into 8-bit RGB, 8-bit gray and an alpha
// channel.
#include "OpenImage.h"
#include "TopDownRows.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace host {
namespace {

// libpng reports errors by longjmp. Every libpng call runs inside one of the small Guarded* functions below,
// whose frames hold nothing that needs destroying, and the message is kept here for the exception thrown
// afterwards.
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    char error[256] = "";
};

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->error, sizeof state->error, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool IsLittleEndian() {
    const uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

bool GuardedReadInfo(PngState& state, std::FILE* file) {
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_init_io(state.png, file);
    png_read_info(state.png, state.info);
    return true;
}

bool GuardedSetUp(PngState& state, int bitDepth, bool interlaced) {
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_set_expand(state.png);
    // Samples in the processor's byte order, as the host delivers them.
    if (bitDepth == 16 && IsLittleEndian()) {
        png_set_swap(state.png);
    }
    if (interlaced) {
        png_set_interlace_handling(state.png);
    }
    png_read_update_info(state.png, state.info);
    return true;
}

bool GuardedReadRow(PngState& state, png_bytep row) {
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_read_row(state.png, row, nullptr);
    return true;
}

bool GuardedReadImage(PngState& state, png_bytepp rows) {
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_read_image(state.png, rows);
    return true;
}

class PngReader final : public RowSource {
public:
    explicit PngReader(ImageFile file) : file_(std::move(file)) {
        info_.name = file_.Name();
        Open();
        try {
            ReadLayout();
        } catch (...) {
            Close();
            throw;
        }
    }
    ~PngReader() override { Close(); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    const DocumentInfo& Info() const override { return info_; }

    const void* Row(uint32_t y) override {
        if (interlaced_) {
            return whole_.data() + size_t(y) * info_.RowBytes();
        }
        return rows_.Row(
            y, [this] { Restart(); },
            [this](unsigned char* row) {
                return GuardedReadRow(state_, row) ? std::string() : state_.error;
            });
    }

private:
    void Open() {
        stream_ = std::fopen(file_.OpenPath().c_str(), "rbe");
        if (stream_ == nullptr) {
            throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
        }
        state_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state_, OnError, OnWarning);
        state_.info = state_.png != nullptr ? png_create_info_struct(state_.png) : nullptr;
        if (state_.info == nullptr) {
            Close();
            throw ImageError("libpng cannot be set up (no memory)");
        }
        if (!GuardedReadInfo(state_, stream_)) {
            const std::string error = state_.error;
            Close();
            throw ImageError("not a readable PNG: " + error);
        }
    }

    void Close() {
        if (state_.png != nullptr) {
            png_destroy_read_struct(&state_.png, state_.info != nullptr ? &state_.info : nullptr, nullptr);
        }
        state_ = PngState{};
        if (stream_ != nullptr) {
            std::fclose(stream_);
            stream_ = nullptr;
        }
    }

    // Going back means decoding from the first row again.
    void Restart() {
        Close();
        Open();
        if (!GuardedSetUp(state_, bitDepth_, false)) {
            throw ImageError(std::string("cannot read it again: ") + state_.error);
        }
    }

    void ReadLayout() {
        info_.width = png_get_image_width(state_.png, state_.info);
        info_.height = png_get_image_height(state_.png, state_.info);
        bitDepth_ = png_get_bit_depth(state_.png, state_.info);
        interlaced_ = png_get_interlace_type(state_.png, state_.info) != PNG_INTERLACE_NONE;
        if (!GuardedSetUp(state_, bitDepth_, interlaced_)) {
            throw ImageError(std::string("not a readable PNG: ") + state_.error);
        }
        // The layout after expansion.
        const int colorType = png_get_color_type(state_.png, state_.info);
        switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
            info_ = WithColor(ColorModel::Gray, 1);
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            info_ = WithColor(ColorModel::Gray, 2);
            break;
        case PNG_COLOR_TYPE_RGB:
            info_ = WithColor(ColorModel::Rgb, 3);
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            info_ = WithColor(ColorModel::Rgb, 4);
            break;
        default:
            throw ImageError("its colour type " + std::to_string(colorType) + " is not supported");
        }
        info_.sample =
            png_get_bit_depth(state_.png, state_.info) == 16 ? SampleType::UInt16 : SampleType::UInt8;
        if (interlaced_) {
            DecodeWhole();
        } else {
            rows_.Resize(info_.RowBytes());
        }
    }

    DocumentInfo WithColor(ColorModel color, uint16_t channels) const {
        DocumentInfo info = info_;
        info.color = color;
        info.channels = channels;
        return info;
    }

    void DecodeWhole() {
        // Each row and its pointer, before anything is allocated.
        file_.CheckMemory(MultiplySaturated(info_.RowBytes() + sizeof(png_bytep), info_.height),
                          "decoding this interlaced PNG whole");
        whole_.resize(info_.RowBytes() * info_.height);
        std::vector<png_bytep> rows(info_.height);
        for (uint32_t y = 0; y < info_.height; ++y) {
            rows[y] = whole_.data() + size_t(y) * info_.RowBytes();
        }
        if (!GuardedReadImage(state_, rows.data())) {
            throw ImageError(std::string("the interlaced image cannot be read: ") + state_.error);
        }
    }

    ImageFile file_;
    std::FILE* stream_ = nullptr;
    PngState state_;
    DocumentInfo info_;
    int bitDepth_ = 0;
    bool interlaced_ = false;
    TopDownRows rows_;
    std::vector<unsigned char> whole_;
};

} // namespace

std::unique_ptr<RowSource> OpenPng(ImageFile file) {
    return std::make_unique<PngReader>(std::move(file));
}

} // namespace host

// JPEG through libjpeg-turbo, one scanline per request from the top, so a baseline JPEG of any size is read
// in a few rows of memory. A progressive JPEG (or one whose colours come in separate scans) is the exception:
// the library keeps its whole coefficient array until the last scan, about two bytes per sample, so such a
// file is read only within the memory limit.
#include "OpenImage.h"
#include "TopDownRows.h"

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace host {
namespace {

// libjpeg reports errors through error_exit, which must not return: it longjmps back into the Guarded*
// function that made the call. Those frames hold nothing that needs destroying.
struct JpegState {
    jpeg_decompress_struct jpeg{};
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
    char error[JMSG_LENGTH_MAX] = "";
    bool created = false;
};

void OnError(j_common_ptr jpeg) {
    auto* state = reinterpret_cast<JpegState*>(jpeg->client_data);
    jpeg->err->format_message(jpeg, state->error);
    std::longjmp(state->jump, 1);
}

// Warnings that mean samples were lost or made up (a truncated file, damaged entropy-coded data) end the
// read; the harmless ones (extra bytes between markers, an unknown JFIF version) are ignored.
void OnMessage(j_common_ptr jpeg, int level) {
    if (level >= 0) {
        return;
    }
    switch (jpeg->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        OnError(jpeg);
        break;
    default:
        break;
    }
}

bool GuardedOpen(JpegState& state, std::FILE* file) {
    state.jpeg.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = OnError;
    state.errors.emit_message = OnMessage;
    state.jpeg.client_data = &state;
    if (setjmp(state.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&state.jpeg);
    state.created = true;
    jpeg_stdio_src(&state.jpeg, file);
    jpeg_read_header(&state.jpeg, TRUE);
    return true;
}

bool GuardedStart(JpegState& state, J_COLOR_SPACE out) {
    if (setjmp(state.jump) != 0) {
        return false;
    }
    state.jpeg.out_color_space = out;
    jpeg_start_decompress(&state.jpeg);
    return true;
}

bool GuardedReadRow(JpegState& state, JSAMPROW row) {
    if (setjmp(state.jump) != 0) {
        return false;
    }
    return jpeg_read_scanlines(&state.jpeg, &row, 1) == 1;
}

class JpegReader final : public RowSource {
public:
    explicit JpegReader(ImageFile file) : file_(std::move(file)) {
        info_.name = file_.Name();
        try {
            Open();
            rows_.Resize(info_.RowBytes());
        } catch (...) {
            Close();
            throw;
        }
    }
    ~JpegReader() override { Close(); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    const DocumentInfo& Info() const override { return info_; }

    const void* Row(uint32_t y) override {
        return rows_.Row(
            y,
            [this] {
                Close();
                Open();
            },
            [this](unsigned char* row) {
                return GuardedReadRow(*state_, row) ? std::string() : state_->error;
            });
    }

private:
    void Open() {
        stream_ = std::fopen(file_.OpenPath().c_str(), "rbe");
        if (stream_ == nullptr) {
            throw ImageError(std::string("cannot open it: ") + std::strerror(errno));
        }
        state_ = std::make_unique<JpegState>();
        if (!GuardedOpen(*state_, stream_)) {
            throw ImageError(std::string("not a readable JPEG: ") + state_->error);
        }
        CheckWholeDecode();
        const J_COLOR_SPACE out = ColorOf(state_->jpeg.jpeg_color_space);
        if (!GuardedStart(*state_, out)) {
            throw ImageError(std::string("not a readable JPEG: ") + state_->error);
        }
        info_.width = state_->jpeg.output_width;
        info_.height = state_->jpeg.output_height;
        info_.color = out == JCS_GRAYSCALE ? ColorModel::Gray : ColorModel::Rgb;
        info_.channels = static_cast<uint16_t>(state_->jpeg.output_components);
        info_.sample = SampleType::UInt8;
    }

    void Close() {
        if (state_ && state_->created) {
            jpeg_destroy_decompress(&state_->jpeg);
        }
        state_.reset();
        if (stream_ != nullptr) {
            std::fclose(stream_);
            stream_ = nullptr;
        }
    }

    // The coefficient array a multi-scan decode holds, from the sizes the header declares, before the
    // library allocates it. The library's own limit stands behind this check, with room for its small
    // allocations, so that it only ever stops what the check let through by mistake.
    void CheckWholeDecode() {
        jpeg_decompress_struct& jpeg = state_->jpeg;
        const uint64_t room = uint64_t{64} << 20;
        jpeg.mem->max_memory_to_use =
            static_cast<long>(std::min<uint64_t>(file_.MemoryLimit(), LONG_MAX - room) + room);
        if (!jpeg.progressive_mode && jpeg.comps_in_scan == jpeg.num_components) {
            return;
        }
        uint64_t need = 0;
        for (int c = 0; c < jpeg.num_components; ++c) {
            const jpeg_component_info& component = jpeg.comp_info[c];
            const uint64_t across = RoundUp(component.width_in_blocks, component.h_samp_factor);
            const uint64_t down = RoundUp(component.height_in_blocks, component.v_samp_factor);
            need += MultiplySaturated(across * down, sizeof(JBLOCK));
        }
        file_.CheckMemory(need, jpeg.progressive_mode ? "decoding this progressive JPEG"
                                                      : "decoding this multi-scan JPEG");
    }

    static uint64_t RoundUp(uint64_t value, uint64_t step) {
        return step == 0 ? value : (value + step - 1) / step * step;
    }

    static J_COLOR_SPACE ColorOf(J_COLOR_SPACE stored) {
        switch (stored) {
        case JCS_GRAYSCALE:
            return JCS_GRAYSCALE;
        case JCS_CMYK:
        case JCS_YCCK:
            throw ImageError("CMYK colour (a print-ready JPEG) is not supported; convert it to RGB first");
        default:
            return JCS_RGB;
        }
    }

    ImageFile file_;
    std::FILE* stream_ = nullptr;
    std::unique_ptr<JpegState> state_;
    DocumentInfo info_;
    TopDownRows rows_;
};

} // namespace

std::unique_ptr<RowSource> OpenJpeg(ImageFile file) {
    return std::make_unique<JpegReader>(std::move(file));
}

} // namespace host

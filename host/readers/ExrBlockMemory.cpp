#include "ExrBlockMemory.h"

#include "OpenImage.h"

#include <openexr.h>

#include <algorithm>

namespace host {
namespace {

uint64_t Sum(std::initializer_list<uint64_t> parts) {
    uint64_t total = 0;
    for (const uint64_t part : parts) {
        if (__builtin_add_overflow(total, part, &total)) {
            return UINT64_MAX;
        }
    }
    return total;
}

void Quiet(exr_const_context_t, exr_result_t, const char*) {}

void Check(exr_result_t result) {
    if (result != EXR_ERR_SUCCESS) {
        throw ImageError(std::string("not a readable OpenEXR file: ") +
                         exr_get_default_error_message(result));
    }
}

class Context {
public:
    explicit Context(const std::string& path) {
        exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
        init.error_handler_fn = Quiet;
        Check(exr_start_read(&context_, path.c_str(), &init));
    }
    ~Context() { exr_finish(&context_); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    exr_context_t Get() const { return context_; }

private:
    exr_context_t context_ = nullptr;
};

// Rows of one block: a tile's height, or the scanlines the compression puts in one chunk.
uint64_t BlockPixels(exr_context_t context, uint64_t width, uint64_t& tileRowPixels) {
    exr_storage_t storage = EXR_STORAGE_SCANLINE;
    Check(exr_get_storage(context, 0, &storage));
    if (storage == EXR_STORAGE_TILED) {
        uint32_t tileWidth = 0;
        uint32_t tileHeight = 0;
        Check(exr_get_tile_descriptor(context, 0, &tileWidth, &tileHeight, nullptr, nullptr));
        tileRowPixels = MultiplySaturated(tileHeight, width);
        return MultiplySaturated(tileWidth, tileHeight);
    }
    int32_t lines = 0;
    Check(exr_get_scanlines_per_chunk(context, 0, &lines));
    tileRowPixels = 0;
    return MultiplySaturated(uint64_t(std::max(lines, 1)), width);
}

} // namespace

uint64_t ExrBlockMemory::Need(uint32_t bandRows, uint16_t channels) const {
    return Sum({library, MultiplySaturated(MultiplySaturated(bandRows, width), sizeof(float) * channels)});
}

ExrBlockMemory ReadExrBlockMemory(const std::string& path) {
    const Context context(path);
    exr_attr_box2i_t window{};
    const exr_attr_chlist_t* list = nullptr;
    int32_t chunks = 0;
    Check(exr_get_data_window(context.Get(), 0, &window));
    Check(exr_get_channels(context.Get(), 0, &list));
    Check(exr_get_chunk_count(context.Get(), 0, &chunks));
    ExrBlockMemory memory;
    memory.width = uint64_t(std::max<int64_t>(int64_t(window.max.x) - window.min.x + 1, 0));
    uint64_t pixelBytes = 0;
    for (int c = 0; c < list->num_channels; ++c) {
        pixelBytes += list->entries[c].pixel_type == EXR_PIXEL_HALF ? 2 : 4;
    }
    uint64_t tileRowPixels = 0;
    const uint64_t block = BlockPixels(context.Get(), memory.width, tileRowPixels);
    memory.library = Sum({MultiplySaturated(MultiplySaturated(block, pixelBytes), 3),
                          MultiplySaturated(tileRowPixels, pixelBytes),
                          MultiplySaturated(uint64_t(std::max(chunks, 0)), sizeof(uint64_t))});
    return memory;
}

} // namespace host

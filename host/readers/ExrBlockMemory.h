// What reading an OpenEXR file block by block holds at once, from its header alone: the header is read
// through the library's C layer, which allocates nothing by the image's size, before the scanline interface
// (which allocates its block buffers as it opens the file) is used.
#ifndef QUENFIELD_HOST_EXRBLOCKMEMORY_H
#define QUENFIELD_HOST_EXRBLOCKMEMORY_H

#include <cstdint>
#include <string>

namespace host {

struct ExrBlockMemory {
    uint64_t width = 0;
    // The library's buffers for one block (the decompressed block and the decompressor's two), the rows of
    // tiles a scanline read of a tiled file assembles, and the table of block offsets.
    uint64_t library = 0;

    // With the host's own band of float rows added.
    uint64_t Need(uint32_t bandRows, uint16_t channels) const;
};

// Throws ImageError when the header cannot be read.
ExrBlockMemory ReadExrBlockMemory(const std::string& path);

} // namespace host

#endif

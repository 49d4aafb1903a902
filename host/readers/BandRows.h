// The row buffer of a decoder that reads a band of rows at once (TIFF strips and tiles, OpenEXR blocks).
#ifndef QUENFIELD_HOST_BANDROWS_H
#define QUENFIELD_HOST_BANDROWS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// The band last read stays at hand, since the plug-in asks for each of its rows, often in several segments.
class BandRows {
public:
    void Resize(uint32_t rows, size_t rowBytes) {
        rows_ = rows;
        rowBytes_ = rowBytes;
        band_.resize(size_t(rows) * rowBytes);
    }
    unsigned char* Data() { return band_.data(); }

    // load(band) fills Data() with the rows of that band; a band whose load threw is read again next time.
    template <class Load>
    const void* Row(uint32_t y, Load&& load) {
        const uint32_t band = y / rows_;
        if (band != loaded_) {
            loaded_ = kNone;
            load(band);
            loaded_ = band;
        }
        return band_.data() + size_t(y % rows_) * rowBytes_;
    }

private:
    static constexpr uint32_t kNone = UINT32_MAX;

    uint32_t rows_ = 1;
    size_t rowBytes_ = 0;
    uint32_t loaded_ = kNone;
    std::vector<unsigned char> band_;
};

} // namespace host

#endif

// A document whose rows come from Python in bands: source(y, rows) returns an object with the buffer protocol
// holding rows y..y+rows-1. One band is held at a time and served in place; a row is copied only to put blue
// and red back in their places or to align samples the buffer left unaligned.
//
// Row() runs while the plug-in runs without the GIL, and takes it only to ask for the next band.
#ifndef QUENFIELD_PYTHON_BANDROWS_H
#define QUENFIELD_PYTHON_BANDROWS_H

#include "Callbacks.h"
#include "Document.h"

#include <pybind11/pybind11.h>

#include <vector>

namespace quenfieldpy {

class BandRows final : public host::RowSource {
public:
    // bgr: the first three samples of each pixel are blue, green, red.
    BandRows(Callbacks& callbacks, host::DocumentInfo info, bool bgr, uint32_t bandRows);
    // Needs the GIL when a band is still held (see Drop).
    ~BandRows() override;
    BandRows(const BandRows&) = delete;
    BandRows& operator=(const BandRows&) = delete;

    const host::DocumentInfo& Info() const override { return info_; }
    const void* Row(uint32_t y) override;
    // Lets go of the band; with the GIL.
    void Drop();

private:
    void Fetch(uint32_t y);
    const uint8_t* Reordered(const uint8_t* row);

    Callbacks& callbacks_;
    host::DocumentInfo info_;
    bool bgr_;
    uint32_t bandRows_;
    Py_buffer band_{};
    bool held_ = false;
    uint32_t top_ = 0;
    uint32_t rows_ = 0;
    std::vector<uint8_t> row_;
};

} // namespace quenfieldpy

#endif

#include "BandRows.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace py = pybind11;

namespace quenfieldpy {

BandRows::BandRows(Callbacks& callbacks, host::DocumentInfo info, bool bgr, uint32_t bandRows)
    : callbacks_(callbacks), info_(std::move(info)), bgr_(bgr), bandRows_(std::max(bandRows, 1u)) {}

BandRows::~BandRows() {
    Drop();
}

void BandRows::Drop() {
    if (held_) {
        PyBuffer_Release(&band_);
        held_ = false;
    }
    rows_ = 0;
}

const void* BandRows::Row(uint32_t y) {
    if (y < top_ || y >= top_ + rows_) {
        py::gil_scoped_acquire gil;
        Fetch(y);
    }
    const uint8_t* row = static_cast<const uint8_t*>(band_.buf) + size_t{y - top_} * info_.RowBytes();
    const size_t sampleBytes = host::BytesPerSample(info_.sample);
    if (bgr_ || reinterpret_cast<uintptr_t>(row) % sampleBytes != 0) {
        return Reordered(row);
    }
    return row;
}

// Throws std::runtime_error, the plug-in's cue that the host failed, once the source failed.
void BandRows::Fetch(uint32_t y) {
    // The last band goes before the next is asked for: one band at a time.
    Drop();
    const uint32_t rows = std::min(bandRows_, info_.height - y);
    const std::string call = "source(" + std::to_string(y) + ", " + std::to_string(rows) + ")";
    py::object band = callbacks_.Band(y, rows);
    if (callbacks_.Failed()) {
        throw std::runtime_error(call + " failed");
    }
    if (PyObject_GetBuffer(band.ptr(), &band_, PyBUF_C_CONTIGUOUS) != 0) {
        PyErr_Clear();
        callbacks_.Fail(PyExc_TypeError, call + " returned " + std::string(Py_TYPE(band.ptr())->tp_name) +
                                             ", not a C-contiguous buffer (bytes, bytearray, memoryview, "
                                             "NumPy array)");
        throw std::runtime_error(call + " returned no band");
    }
    held_ = true;
    const size_t expected = size_t{rows} * info_.RowBytes();
    if (static_cast<size_t>(band_.len) != expected) {
        const std::string got = std::to_string(band_.len);
        Drop();
        callbacks_.Fail(PyExc_ValueError, call + " returned " + got + " bytes, not the " +
                                              std::to_string(expected) + " of its rows");
        throw std::runtime_error(call + " returned a band of another size");
    }
    top_ = y;
    rows_ = rows;
}

// The row with blue and red swapped back, or just aligned.
const uint8_t* BandRows::Reordered(const uint8_t* row) {
    row_.assign(row, row + info_.RowBytes());
    if (bgr_) {
        const size_t sampleBytes = host::BytesPerSample(info_.sample);
        const size_t pixelBytes = sampleBytes * info_.channels;
        uint8_t blue[sizeof(float)];
        for (size_t at = 0; at < row_.size(); at += pixelBytes) {
            std::memcpy(blue, &row_[at], sampleBytes);
            std::memcpy(&row_[at], &row_[at + 2 * sampleBytes], sampleBytes);
            std::memcpy(&row_[at + 2 * sampleBytes], blue, sampleBytes);
        }
    }
    return row_.data();
}

} // namespace quenfieldpy

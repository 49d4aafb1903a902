// The row buffer of a decoder that only goes from the top down.
#ifndef QUENFIELD_HOST_TOPDOWNROWS_H
#define QUENFIELD_HOST_TOPDOWNROWS_H

#include "OpenImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The row just read stays at hand, since a wide row is asked for in several segments; an earlier row means
// decoding from the first row again.
class TopDownRows {
public:
    void Resize(size_t rowBytes) { row_.resize(rowBytes); }

    // rewind() goes back to before the first row; readRow(buffer) decodes the next row into buffer and
    // returns the empty string, or the reason it could not.
    template <class Rewind, class ReadRow>
    const void* Row(uint32_t y, Rewind&& rewind, ReadRow&& readRow) {
        if (y + 1 == next_) {
            return row_.data();
        }
        if (y < next_) {
            rewind();
            next_ = 0;
        }
        for (; next_ <= y; ++next_) {
            const std::string error = readRow(row_.data());
            if (!error.empty()) {
                throw ImageError("row " + std::to_string(next_) + " cannot be read: " + error);
            }
        }
        return row_.data();
    }

private:
    uint32_t next_ = 0;
    std::vector<unsigned char> row_;
};

} // namespace host

#endif

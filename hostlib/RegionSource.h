// What region delivery reads a document through: its geometry and its rows, whatever holds them.
#ifndef QUENFIELD_HOST_REGIONSOURCE_H
#define QUENFIELD_HOST_REGIONSOURCE_H

#include <cstddef>
#include <cstdint>

namespace host {

class RegionSource {
public:
    virtual ~RegionSource() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual int16_t Planes() const = 0;
    virtual size_t SampleBytes() const = 0;
    // Row y, planes interleaved per pixel. Throws std::runtime_error with the reason when it cannot be read.
    virtual const uint8_t* Row(int32_t y) = 0;
    // 16-bit samples in the file's range 0..65535, brought into the host's range on delivery.
    virtual bool InFileRange() const { return false; }
    // The distance between rows when they all lie in memory in the host's range, so that a region can be
    // served in place; 0 otherwise.
    virtual size_t Stride() const { return 0; }
};

} // namespace host

#endif

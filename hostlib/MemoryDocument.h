// A document held in memory, of any mode, depth, plane count and size, including those a plug-in must
// refuse. Samples are interleaved per pixel, rows from the top, in the processor's byte order: uint8_t
// (depth 8), uint16_t in the host's range 0..32768 (depth 16) or float (depth 32); one byte for any other
// depth.
#ifndef QUENFIELD_HOST_MEMORYDOCUMENT_H
#define QUENFIELD_HOST_MEMORYDOCUMENT_H

#include "RegionSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class MemoryDocument : public RegionSource {
public:
    // Every sample 0; no samples at all when a dimension is not positive.
    MemoryDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                   std::string name);

    int16_t Mode() const { return mode_; }
    int16_t Depth() const { return depth_; }
    int16_t Planes() const override { return planes_; }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    // The bytes after the record's length byte.
    const std::string& Name() const { return name_; }

    size_t SampleBytes() const override;
    size_t PixelBytes() const { return SampleBytes() * size_t(planes_ > 0 ? planes_ : 0); }
    size_t Stride() const override { return PixelBytes() * size_t(width_ > 0 ? width_ : 0); }
    const uint8_t* Row(int32_t y) override { return samples_.data() + size_t(y) * Stride(); }

    // The value is stored as the depth's type (truncated for 8 and 16 bits).
    void SetSample(int32_t x, int32_t y, int16_t plane, double value);
    // The raw bytes of one sample.
    const uint8_t* SampleAddress(int32_t x, int32_t y, int16_t plane) const;
    std::vector<uint8_t>& Bytes() { return samples_; }
    const std::vector<uint8_t>& Bytes() const { return samples_; }

    // Every sample from a deterministic pattern that differs between planes, columns and rows.
    void FillPattern();
    // Every sample drawn from the seed over everything the depth can hold: 8-bit 0..255; 16-bit mostly the
    // host's range 0..32768 with its edges, sometimes above it; 32-bit unit-range values, values outside it,
    // and arbitrary bit patterns (infinities, NaNs with payloads, subnormals, negative zero).
    void FillRandom(uint32_t seed);
    // Samples that vary by plane, column and row and include the extremes of the depth (0 and the maximum;
    // for floats also negative, above 1, infinite, NaN, denormal and -0), varied by SetSampleSeed.
    void FillExtremes();

    std::string Describe() const; // "RGB (mode 3) 8-bit, 3 planes, 5x3"

private:
    size_t Offset(int32_t x, int32_t y, int16_t plane) const;

    int16_t mode_;
    int16_t depth_;
    int16_t planes_;
    int32_t width_;
    int32_t height_;
    std::string name_;
    std::vector<uint8_t> samples_;
};

// Varies the samples of every FillExtremes from now on; 0, the default, gives the samples of earlier runs.
void SetSampleSeed(uint64_t seed);

// A document of the given kind filled by FillExtremes.
MemoryDocument MakeDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                            std::string name = "Validate.psd");

bool IsGrayMode(int16_t mode);
bool IsRGBMode(int16_t mode);
// Whether the protocol lets a plug-in export the document: a gray mode with at least one plane or an RGB
// mode with at least three, at 8, 16 or 32 bits.
bool IsSupported(int16_t mode, int16_t depth, int16_t planes);

} // namespace host

#endif

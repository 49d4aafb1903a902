#include "MemoryDocument.h"

#include "ExportInterface.h"

#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <utility>

namespace host {
namespace {

constexpr uint32_t kHostMax16 = 32768;

const float kSpecialFloats[] = {0.0f,
                                1.0f,
                                -0.0f,
                                -2.5f,
                                1e30f,
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::denorm_min(),
                                0.5f};

uint64_t sampleSeed = 0;

// A value that differs by plane, column and row; every n-th sample is one of the extremes.
uint32_t Extreme(int32_t x, int32_t y, int plane) {
    uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ uint32_t(plane + 1) * 97u ^
                 uint32_t(sampleSeed * 0x9E3779B97F4A7C15u >> 32);
    return v ^ (v >> 13);
}

// By the bytes a sample takes, which for an unsupported depth is one.
void StoreExtreme(uint8_t* at, size_t sampleBytes, uint32_t p) {
    if (sampleBytes == 1) {
        *at = p % 7 == 0 ? uint8_t(p % 2 ? 255 : 0) : uint8_t(p);
    } else if (sampleBytes == 2) {
        const uint16_t v = p % 7 == 0 ? uint16_t(p % 2 ? kHostMax16 : 0) : uint16_t(p % (kHostMax16 + 1));
        std::memcpy(at, &v, sizeof v);
    } else {
        const float v = p % 5 == 0 ? kSpecialFloats[(p / 5) % std::size(kSpecialFloats)]
                                   : float(p % 100000) / 65536.0f - 0.25f;
        std::memcpy(at, &v, sizeof v);
    }
}

} // namespace

MemoryDocument::MemoryDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                               std::string name)
    : mode_(mode), depth_(depth), planes_(planes), width_(width), height_(height), name_(std::move(name)) {
    const size_t pixels = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    samples_.assign(pixels * PixelBytes(), 0);
}

size_t MemoryDocument::SampleBytes() const {
    return depth_ == 16 ? 2 : depth_ == 32 ? 4 : 1;
}

size_t MemoryDocument::Offset(int32_t x, int32_t y, int16_t plane) const {
    return (size_t(y) * size_t(width_) + size_t(x)) * PixelBytes() + size_t(plane) * SampleBytes();
}

const uint8_t* MemoryDocument::SampleAddress(int32_t x, int32_t y, int16_t plane) const {
    return samples_.data() + Offset(x, y, plane);
}

void MemoryDocument::SetSample(int32_t x, int32_t y, int16_t plane, double value) {
    uint8_t* at = samples_.data() + Offset(x, y, plane);
    if (depth_ == 16) {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(at, &v, sizeof v);
    } else if (depth_ == 32) {
        const float v = static_cast<float>(value);
        std::memcpy(at, &v, sizeof v);
    } else {
        *at = static_cast<uint8_t>(value);
    }
}

void MemoryDocument::FillPattern() {
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            for (int16_t p = 0; p < planes_; ++p) {
                const unsigned int seed = unsigned(x) * 7u + unsigned(y) * 13u + unsigned(p) * 101u;
                if (depth_ == 16) {
                    SetSample(x, y, p, seed * 37u % 32769u);
                } else if (depth_ == 32) {
                    SetSample(x, y, p, (double(seed % 1000u) - 200.0) / 256.0);
                } else {
                    SetSample(x, y, p, seed % 256u);
                }
            }
        }
    }
}

void MemoryDocument::FillRandom(uint32_t seed) {
    std::mt19937 random(seed);
    const uint16_t edges16[] = {0, 1, 2, 16384, 32767, 32768, 32769, 40000, 65535};
    const uint32_t specials32[] = {0x00000000u, 0x80000000u, 0x3F800000u, 0x7F800000u, 0xFF800000u,
                                   0x7FC00000u, 0x7F800001u, 0xFFFFFFFFu, 0x00000001u, 0x807FFFFFu};
    for (size_t at = 0; at < samples_.size(); at += SampleBytes()) {
        const uint32_t draw = static_cast<uint32_t>(random());
        const uint32_t kind = draw % 8;
        if (depth_ == 16) {
            uint16_t v = static_cast<uint16_t>(random() % 32769u);
            if (kind == 0) {
                v = edges16[random() % std::size(edges16)];
            } else if (kind == 1) {
                v = static_cast<uint16_t>(random());
            }
            std::memcpy(&samples_[at], &v, sizeof v);
        } else if (depth_ == 32) {
            uint32_t bits = static_cast<uint32_t>(random());
            if (kind < 4) {
                const float v = std::uniform_real_distribution<float>(kind == 0 ? -2.0f : 0.0f, 1.0f)(random);
                std::memcpy(&bits, &v, sizeof bits);
            } else if (kind == 4) {
                bits = specials32[random() % std::size(specials32)];
            }
            std::memcpy(&samples_[at], &bits, sizeof bits);
        } else {
            samples_[at] = static_cast<uint8_t>(draw >> 8);
        }
    }
}

void MemoryDocument::FillExtremes() {
    size_t offset = 0;
    for (int32_t y = 0; y < height_ && !samples_.empty(); ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            for (int plane = 0; plane < planes_; ++plane, offset += SampleBytes()) {
                StoreExtreme(samples_.data() + offset, SampleBytes(), Extreme(x, y, plane));
            }
        }
    }
}

std::string MemoryDocument::Describe() const {
    return std::string(IsGrayMode(mode_)  ? "gray"
                       : IsRGBMode(mode_) ? "RGB"
                                          : "mode " + std::to_string(mode_)) +
           " (mode " + std::to_string(mode_) + ") " + std::to_string(depth_) + "-bit, " +
           std::to_string(planes_) + " planes, " + std::to_string(width_) + "x" + std::to_string(height_);
}

void SetSampleSeed(uint64_t seed) {
    sampleSeed = seed;
}

MemoryDocument MakeDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                            std::string name) {
    MemoryDocument document(mode, depth, planes, width, height, std::move(name));
    document.FillExtremes();
    return document;
}

bool IsGrayMode(int16_t mode) {
    return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
}

bool IsRGBMode(int16_t mode) {
    return mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96;
}

bool IsSupported(int16_t mode, int16_t depth, int16_t planes) {
    const bool depthKnown = depth == 8 || depth == 16 || depth == 32;
    return depthKnown && ((IsRGBMode(mode) && planes >= 3) || (IsGrayMode(mode) && planes >= 1));
}

} // namespace host

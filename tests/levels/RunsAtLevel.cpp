// The conversion runs as compiled for one instruction-set level (QUENFIELD_RUN_LEVEL), checked against sample
// formulas of their own. The module carries one copy of the runs per level and the loader runs only the best
// one the processor has, so each copy is built into a test program of its own and checked here where the
// processor can run it. Lengths and start offsets cross every vector width, so tails and unaligned starts are
// covered as well as the main loops.
#include "ConvertBuffer/ConvertRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr unsigned short kGuard = 0xBEEF;

// The level's instruction sets by feature names that gcc and clang both know (only gcc knows the level
// names). A processor with these also has the rest of x86-64-v4.
bool LevelSupported() {
    __builtin_cpu_init();
    const char* level = QUENFIELD_RUN_LEVEL;
    if (std::strcmp(level, "avx2") == 0) {
        return __builtin_cpu_supports("avx2");
    }
    if (std::strcmp(level, "x86-64-v4") == 0) {
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
               __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512cd") &&
               __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    }
    return true;
}

// The file's 16-bit sample, most significant byte first, from the host's sample.
uint16_t FileOrder(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
    uint16_t stored = 0;
    std::memcpy(&stored, bytes, sizeof stored);
    return stored;
}

uint16_t Expected(unsigned char v) {
    return FileOrder(static_cast<uint16_t>(v * 257));
}
uint16_t Expected(unsigned short v) {
    return FileOrder(v >= 32768 ? 65535 : static_cast<uint16_t>(uint32_t{v} * 65535 / 32768));
}
uint32_t Expected(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits; // little-endian here: the float's bits unchanged
}
uint32_t Bits(float v) {
    return Expected(v);
}
uint16_t Bits(unsigned short v) {
    return v;
}

template <class U>
std::vector<U> Samples(size_t count, std::mt19937& random) {
    std::vector<U> samples(count);
    for (U& sample : samples) {
        if constexpr (sizeof(U) == 4) {
            // Any bit pattern: NaNs with payloads, infinities and subnormals must pass unchanged.
            const uint32_t bits = random();
            std::memcpy(&sample, &bits, sizeof bits);
        } else {
            sample = static_cast<U>(random());
        }
    }
    return samples;
}

// Runs numPixel pixels from input + offset into output + offset and compares every output sample, and the
// guard samples after the run, with the formulas.
template <class T, class U>
void CheckRun(bool rgb, unsigned int planes, unsigned int numPixel, size_t offset, std::mt19937& random) {
    const std::vector<U> input = Samples<U>(offset + size_t{planes} * numPixel, random);
    std::vector<T> output(offset + 3 * size_t{numPixel} + 8);
    T guard{};
    std::memcpy(&guard, &kGuard, sizeof kGuard);
    std::fill(output.begin(), output.end(), guard);
    if (rgb) {
        _hlp::MapRunRGB(input.data() + offset, output.data() + offset, numPixel, planes);
    } else {
        _hlp::MapRunGray(input.data() + offset, output.data() + offset, numPixel, planes);
    }
    for (size_t i = 0; i < numPixel; ++i) {
        for (size_t c = 0; c < 3; ++c) {
            const U sample = input[offset + planes * i + (rgb ? c : 0)];
            ASSERT_EQ(Bits(output[offset + 3 * i + c]), Expected(sample))
                << (rgb ? "RGB" : "gray") << ", " << planes << " planes, " << numPixel << " pixels, offset "
                << offset << ": pixel " << i << " sample " << c;
        }
    }
    for (size_t i = offset + 3 * size_t{numPixel}; i < output.size(); ++i) {
        ASSERT_EQ(Bits(output[i]), Bits(guard)) << "written past the run at " << i;
    }
    for (size_t i = 0; i < offset; ++i) {
        ASSERT_EQ(Bits(output[i]), Bits(guard)) << "written before the run at " << i;
    }
}

template <class T, class U>
void CheckAllShapes() {
    if (!LevelSupported()) {
        GTEST_SKIP() << "this processor has no " << QUENFIELD_RUN_LEVEL;
    }
    std::mt19937 random(2024);
    const std::vector<unsigned int> lengths = {0,  1,  2,  3,  7,   8,   15,  16,  17,   31,  32,
                                               33, 63, 64, 65, 127, 128, 129, 255, 1000, 7500};
    for (const bool rgb : {true, false}) {
        for (unsigned int planes = rgb ? 3 : 1; planes <= 8; ++planes) {
            for (const unsigned int numPixel : lengths) {
                for (const size_t offset : {size_t{0}, size_t{1}, size_t{5}}) {
                    CheckRun<T, U>(rgb, planes, numPixel, offset, random);
                    if (testing::Test::HasFatalFailure()) {
                        return;
                    }
                }
            }
        }
    }
}

TEST(RunsAtLevel, EightBitSamples) {
    CheckAllShapes<unsigned short, unsigned char>();
}

TEST(RunsAtLevel, SixteenBitSamples) {
    CheckAllShapes<unsigned short, unsigned short>();
}

TEST(RunsAtLevel, FloatSamples) {
    CheckAllShapes<float, float>();
}

} // namespace

// Sample values as they reach the file: the value helpers, the value tables as bytes, and the 16-bit path
// against the integer formula for every input.
#include "ConvertSupport.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace convert_test;

// The little-endian bytes of a float's bit pattern, built without relying on the processor's order.
Bytes LittleEndianBytes(uint32_t bits) {
    return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits >> 16),
            static_cast<uint8_t>(bits >> 24)};
}

float FromBits(uint32_t bits) {
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// min(65535, floor(v * 65535 / 32768)), straight from its definition.
unsigned int IntegerFormula(unsigned int v) {
    return std::min(65535u, v * 65535u / 32768u);
}

TEST(MapTo16Bit, FloatIsClampedScaledAndTruncated) {
    const struct {
        float in;
        unsigned short out;
    } cases[] = {{0.00001f, 0},
                 {-1.0f, 0},
                 {-0.0f, 0},
                 {0.5f, 32767},
                 {1.0f, 65535},
                 {2.0f, 65535},
                 {std::numeric_limits<float>::infinity(), 65535},
                 {-std::numeric_limits<float>::infinity(), 0},
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {FromBits(0xFFC12345u), 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(_hlp::MapTo16Bit(c.in), c.out) << c.in;
    }
}

TEST(MapTo16Bit, ByteRepeatsItselfInBothHalves) {
    for (unsigned int v = 0; v < 256; ++v) {
        EXPECT_EQ(_hlp::MapTo16Bit(static_cast<unsigned char>(v)), v * 257) << v;
    }
}

TEST(EndianSwap, ExchangesTheBytesUnconditionally) {
    EXPECT_EQ(_hlp::EndianSwap(0x1234), 0x3412);
    EXPECT_EQ(_hlp::EndianSwap(0x00FF), 0xFF00);
    EXPECT_EQ(_hlp::EndianSwap(0xFF00), 0x00FF);
}

// Every 16-bit input: the single-precision path, the integer helper, the one-sample Convert and whole runs
// all give the integer formula's value, most significant byte first.
TEST(Convert16, EveryInputMatchesTheIntegerFormula) {
    auto buffer = std::make_unique<Buffer16>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_GRAY, 1));
    std::vector<unsigned short> all(65536);
    for (unsigned int v = 0; v < all.size(); ++v) {
        all[v] = static_cast<unsigned short>(v);
    }
    Bytes run; // the first of the three equal samples of each gray pixel
    for (size_t first = 0; first < all.size(); first += buffer->GetMaxPixel()) {
        const unsigned int numPixel =
            static_cast<unsigned int>(std::min<size_t>(buffer->GetMaxPixel(), all.size() - first));
        ASSERT_TRUE(buffer->SetData(&all[first], numPixel * 2, numPixel));
        ASSERT_TRUE(buffer->ConvertData(numPixel));
        const Bytes out = OutputBytes(*buffer, numPixel);
        for (unsigned int i = 0; i < numPixel; ++i) {
            run.push_back(out[6 * i]);
            run.push_back(out[6 * i + 1]);
        }
    }
    for (unsigned int v = 0; v < all.size(); ++v) {
        const unsigned int expected = IntegerFormula(v);
        ASSERT_EQ(_hlp::MapTo16Bit(static_cast<float>(v) / 32768.0f), expected) << v;
        ASSERT_EQ(_hlp::MapHostTo16Bit(static_cast<unsigned short>(v)), expected) << v;
        const unsigned short converted = buffer->Convert(static_cast<unsigned short>(v));
        uint8_t convertedBytes[2];
        std::memcpy(convertedBytes, &converted, 2);
        const Bytes expectedBytes = {static_cast<uint8_t>(expected >> 8), static_cast<uint8_t>(expected)};
        ASSERT_EQ(Bytes(convertedBytes, convertedBytes + 2), expectedBytes) << v;
        ASSERT_EQ(Bytes(run.begin() + 2 * v, run.begin() + 2 * v + 2), expectedBytes) << v;
    }
}

// Through the run and through ConvertRGB, as RGB samples and as a gray value repeated three times.
template <class Buffer, class U>
void ExpectFileBytes(const std::vector<U>& in, const std::vector<Bytes>& out) {
    Bytes rgb;
    Bytes gray;
    for (const Bytes& sample : out) {
        rgb.insert(rgb.end(), sample.begin(), sample.end());
        for (int k = 0; k < 3; ++k) {
            gray.insert(gray.end(), sample.begin(), sample.end());
        }
    }
    std::vector<U> rgbIn = in;
    while (rgbIn.size() % 3 != 0) {
        rgbIn.push_back(in.back());
        rgb.insert(rgb.end(), out.back().begin(), out.back().end());
    }
    EXPECT_EQ((ConvertRun<Buffer, U>(eINPUT_FORMAT_RGB, 3, rgbIn)), rgb);
    EXPECT_EQ((ConvertPixelByPixel<Buffer, U>(eINPUT_FORMAT_RGB, 3, rgbIn)), rgb);
    EXPECT_EQ((ConvertRun<Buffer, U>(eINPUT_FORMAT_GRAY, 1, in)), gray);
    EXPECT_EQ((ConvertPixelByPixel<Buffer, U>(eINPUT_FORMAT_GRAY, 1, in)), gray);
}

TEST(FileBytes, EightBitSamplesAreWidenedTo16Bits) {
    ExpectFileBytes<Buffer8, unsigned char>({0, 1, 128, 255},
                                            {{0x00, 0x00}, {0x01, 0x01}, {0x80, 0x80}, {0xFF, 0xFF}});
}

TEST(FileBytes, SixteenBitSamplesAreSpreadOverTheFullRangeMostSignificantByteFirst) {
    ExpectFileBytes<Buffer16, unsigned short>({0, 1, 2, 16384, 32767, 32768, 40000, 65535}, {{0x00, 0x00},
                                                                                             {0x00, 0x01},
                                                                                             {0x00, 0x03},
                                                                                             {0x7F, 0xFF},
                                                                                             {0xFF, 0xFD},
                                                                                             {0xFF, 0xFF},
                                                                                             {0xFF, 0xFF},
                                                                                             {0xFF, 0xFF}});
}

TEST(FileBytes, FloatsPassBitForBitLittleEndian) {
    const uint32_t patterns[] = {
        0xBF000000u, // -0.5
        0x00000000u, // 0.0
        0x80000000u, // -0.0
        0x3F800000u, // 1.0
        0x40200000u, // 2.5
        0x7F800000u, // +infinity
        0xFF800000u, // -infinity
        0x7FC00000u, // quiet NaN
        0x7F800001u, // signalling NaN
        0xFFC12345u, // negative NaN with payload
        0x00000001u, // smallest subnormal
    };
    std::vector<float> in;
    std::vector<Bytes> out;
    for (uint32_t bits : patterns) {
        in.push_back(FromBits(bits));
        out.push_back(LittleEndianBytes(bits));
    }
    ExpectFileBytes<BufferFloat, float>(in, out);
}

} // namespace

// The conversion buffer's configuration, lifecycle, capacity checks and pixel layout.
#include "ConvertSupport.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>

namespace {

using namespace convert_test;

TEST(ConvertBuffer, MaxPixelFollowsThePlaneCount) {
    const struct {
        unsigned int planes;
        unsigned int maxPixel;
    } cases[] = {{1, 10000}, {2, 10000}, {3, 10000}, {4, 7500}, {5, 6000},
                 {6, 5000},  {7, 4285},  {9, 3333},  {30000, 1}};
    std::unique_ptr<IConvertBuffer> buffers[] = {std::make_unique<Buffer8>(), std::make_unique<Buffer16>(),
                                                 std::make_unique<BufferFloat>()};
    for (auto& buffer : buffers) {
        for (const auto& c : cases) {
            ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, c.planes)) << c.planes;
            EXPECT_EQ(buffer->GetMaxPixel(), c.maxPixel) << c.planes;
        }
    }
}

TEST(ConvertBuffer, NewBufferAndTooManyPlanesAreNotValid) {
    auto buffer = std::make_unique<Buffer8>();
    EXPECT_FALSE(buffer->IsValid());
    EXPECT_EQ(ThrownCode([&] { buffer->GetMaxPixel(); }), eERROR_MISSING_PARAMETER);
    EXPECT_FALSE(buffer->Create(eINPUT_FORMAT_RGB, 30001));
    EXPECT_FALSE(buffer->IsValid());
    EXPECT_EQ(ThrownCode([&] { buffer->GetMaxPixel(); }), eERROR_MISSING_PARAMETER);
}

TEST(ConvertBuffer, RefusedCreateLeavesTheConfigurationAsItWas) {
    auto buffer = std::make_unique<Buffer16>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 4));
    EXPECT_EQ(ThrownCode([&] { buffer->Create(eINPUT_FORMAT_NONE, 3); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { buffer->Create(eINPUT_FORMAT_GRAY, 0); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(buffer->GetMaxPixel(), 7500u);
}

TEST(ConvertBuffer, PreconditionsThrowMissingParameter) {
    auto buffer = std::make_unique<Buffer8>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 3));
    const unsigned int max = buffer->GetMaxPixel();
    std::vector<unsigned char> data(3 * (max + 1));
    void* out = nullptr;
    unsigned int bytes = 0;
    const std::function<void()> calls[] = {
        [&] { buffer->SetData(nullptr, 3, 1); },
        [&] { buffer->SetData(data.data(), 0, 1); },
        [&] { buffer->SetData(data.data(), 3, 0); },
        [&] { buffer->SetData(data.data(), static_cast<unsigned int>(data.size()), max + 1); },
        [&] { buffer->ConvertData(0); },
        [&] { buffer->ConvertData(max + 1); },
        [&] { buffer->GetData(nullptr, &bytes, 1); },
        [&] { buffer->GetData(&out, nullptr, 1); },
        [&] { buffer->GetData(&out, &bytes, 0); },
        [&] { buffer->GetData(&out, &bytes, max + 1); },
        [&] { buffer->ConvertRGB(29998, 0); },
        [&] { buffer->ConvertRGB(0, 29998); },
        [&] { buffer->ConvertGray(29998, 0); },
        [&] { buffer->ConvertGray(0, 30000); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        EXPECT_EQ(ThrownCode(calls[i]), eERROR_MISSING_PARAMETER) << "call " << i;
    }
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(ThrownCode([&] { buffer->ConvertRGB(29997, 29997); }), 0);
    EXPECT_EQ(ThrownCode([&] { buffer->ConvertGray(29997, 29999); }), 0);
    ASSERT_TRUE(buffer->SetData(data.data(), 3, 1));
    EXPECT_EQ(ThrownCode([&] { buffer->ConvertData(2); }), eERROR_MISSING_PARAMETER)
        << "the run is read where it lies: not a pixel beyond it";
}

TEST(ConvertBuffer, SetDataNeedsEveryByteOfTheRun) {
    auto buffer = std::make_unique<Buffer16>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 4));
    const std::vector<unsigned short> first = {16384, 16384, 16384, 0, 16384, 16384, 16384, 0};
    const std::vector<unsigned short> second = {1, 1, 1, 0, 1, 1, 1, 0};
    const unsigned int needed = 2 * 4 * 2; // two pixels of four 16-bit planes
    ASSERT_TRUE(buffer->SetData(first.data(), needed, 2));
    EXPECT_FALSE(buffer->SetData(second.data(), needed - 1, 2));
    ASSERT_TRUE(buffer->ConvertData(2));
    EXPECT_EQ(OutputBytes(*buffer, 2),
              (Bytes{0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF}))
        << "a refused SetData leaves the input as it was";
    EXPECT_TRUE(buffer->SetData(second.data(), needed, 2));
    EXPECT_TRUE(buffer->SetData(second.data(), needed + 1, 2));
    ASSERT_TRUE(buffer->ConvertData(2));
    EXPECT_EQ(OutputBytes(*buffer, 2), (Bytes{0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}));
}

TEST(ConvertBuffer, GetDataHandsOutTheSameZeroedArray) {
    auto buffer = std::make_unique<BufferFloat>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_GRAY, 1));
    void* first = nullptr;
    unsigned int bytes = 0;
    ASSERT_TRUE(buffer->GetData(&first, &bytes, 100));
    EXPECT_EQ(bytes, 1200u);
    EXPECT_EQ(OutputBytes(*buffer, 10000), Bytes(120000, 0));
    const std::vector<float> ones(10000, 1.0f);
    ASSERT_TRUE(buffer->SetData(ones.data(), 40000, 10000));
    ASSERT_TRUE(buffer->ConvertData(10000));
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 3));
    EXPECT_EQ(OutputBytes(*buffer, 10000), Bytes(120000, 0)) << "Create clears what an earlier run left";
    void* again = nullptr;
    ASSERT_TRUE(buffer->GetData(&again, &bytes, 1));
    EXPECT_EQ(again, first);

    auto narrow = std::make_unique<Buffer8>();
    ASSERT_TRUE(narrow->Create(eINPUT_FORMAT_RGB, 3));
    ASSERT_TRUE(narrow->GetData(&first, &bytes, 100));
    EXPECT_EQ(bytes, 600u);
}

TEST(ConvertBuffer, DestroyEmptiesAndCreateRevives) {
    auto buffer = std::make_unique<Buffer8>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 3));
    const std::vector<unsigned char> pixel = {10, 20, 30};
    ASSERT_TRUE(buffer->SetData(pixel.data(), 3, 1));
    ASSERT_TRUE(buffer->ConvertData(1));
    void* before = nullptr;
    unsigned int bytes = 0;
    ASSERT_TRUE(buffer->GetData(&before, &bytes, 1));
    buffer->Destroy();
    buffer->Destroy();
    EXPECT_FALSE(buffer->IsValid());
    EXPECT_EQ(ThrownCode([&] { buffer->SetData(pixel.data(), 3, 1); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { buffer->ConvertData(1); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { buffer->GetMaxPixel(); }), eERROR_MISSING_PARAMETER);
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_GRAY, 2));
    EXPECT_EQ(buffer->GetMaxPixel(), 10000u);
    EXPECT_EQ(OutputBytes(*buffer, 1), Bytes(6, 0)) << "Destroy cleared the output";
    void* after = nullptr;
    ASSERT_TRUE(buffer->GetData(&after, &bytes, 1));
    EXPECT_EQ(after, before);
}

TEST(ConvertBuffer, UnknownFormatConvertsNothing) {
    auto buffer = std::make_unique<Buffer8>();
    ASSERT_TRUE(buffer->Create(static_cast<EInputFormat>(3), 3));
    void* data = nullptr;
    unsigned int bytes = 0;
    ASSERT_TRUE(buffer->GetData(&data, &bytes, 2));
    std::memset(data, 0xA5, bytes);
    const std::vector<unsigned char> pixels = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(buffer->SetData(pixels.data(), 6, 2));
    EXPECT_FALSE(buffer->ConvertData(2));
    EXPECT_EQ(OutputBytes(*buffer, 2), Bytes(12, 0xA5));
}

TEST(PlaneStride, ExtraPlanesAreSkipped) {
    EXPECT_EQ((ConvertRun<Buffer8, unsigned char>(eINPUT_FORMAT_RGB, 4, {10, 20, 30, 255, 40, 50, 60, 0})),
              (Bytes{0x0A, 0x0A, 0x14, 0x14, 0x1E, 0x1E, 0x28, 0x28, 0x32, 0x32, 0x3C, 0x3C}));
    EXPECT_EQ((ConvertRun<Buffer16, unsigned short>(eINPUT_FORMAT_GRAY, 2, {16384, 32768, 1, 32768})),
              (Bytes{0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ((ConvertRun<Buffer8, unsigned char>(eINPUT_FORMAT_RGB, 7,
                                                  {1, 2, 3, 9, 9, 9, 9, 4, 5, 6, 9, 9, 9, 9})),
              (Bytes{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}));
}

TEST(PlaneStride, OutputBeyondTheRunKeepsItsContent) {
    auto buffer = std::make_unique<Buffer8>();
    ASSERT_TRUE(buffer->Create(eINPUT_FORMAT_RGB, 4));
    const std::vector<unsigned char> two = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(buffer->SetData(two.data(), 8, 2));
    ASSERT_TRUE(buffer->ConvertData(2));
    const std::vector<unsigned char> one = {9, 9, 9, 9};
    ASSERT_TRUE(buffer->SetData(one.data(), 4, 1));
    ASSERT_TRUE(buffer->ConvertData(1));
    EXPECT_EQ(OutputBytes(*buffer, 2), (Bytes{9, 9, 9, 9, 9, 9, 5, 5, 6, 6, 7, 7}));
}

// The whole-run loops, from the caller's memory and from the buffer's copy, against the pixel-by-pixel path
// for every plane count and run lengths around the loops' block sizes, on varied samples.
template <class Buffer, class U>
void ExpectRunMatchesPixels(U (*sample)(std::mt19937&)) {
    std::mt19937 random(7);
    for (EInputFormat format : {eINPUT_FORMAT_RGB, eINPUT_FORMAT_GRAY}) {
        for (unsigned int planes = 1; planes <= 8; ++planes) {
            for (unsigned int numPixel :
                 {1u, 2u, 5u, 15u, 16u, 17u, 33u, 64u, 999u, 30000u / std::max(planes, 3u)}) {
                std::vector<U> samples(planes * numPixel);
                for (U& s : samples) {
                    s = sample(random);
                }
                const Bytes expected = ConvertPixelByPixel<Buffer, U>(format, planes, samples);
                for (size_t offset : {0, 1}) {
                    ASSERT_EQ((ConvertRun<Buffer, U>(format, planes, samples, offset)), expected)
                        << "format " << format << ", planes " << planes << ", pixels " << numPixel
                        << ", offset " << offset;
                }
            }
        }
    }
}

TEST(PlaneStride, RunsMatchPixelByPixelConversion) {
    ExpectRunMatchesPixels<Buffer8, unsigned char>(
        [](std::mt19937& r) { return static_cast<unsigned char>(r()); });
    ExpectRunMatchesPixels<Buffer16, unsigned short>(
        [](std::mt19937& r) { return static_cast<unsigned short>(r()); });
    // One sample in eight a NaN of its own payload, signalling or quiet, which the file keeps bit for bit.
    ExpectRunMatchesPixels<BufferFloat, float>([](std::mt19937& r) {
        if (r() % 8 == 0) {
            const uint32_t bits = 0x7F800001u | (r() & 0x807FFFFFu);
            float nan = 0.0f;
            std::memcpy(&nan, &bits, sizeof nan);
            return nan;
        }
        return std::uniform_real_distribution<float>(-2.0f, 2.0f)(r);
    });
}

} // namespace

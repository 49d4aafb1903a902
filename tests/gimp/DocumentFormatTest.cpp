// The bridge's mapping of GIMP images to documents, and rows read from a GEGL buffer as GIMP's tiles hold
// them.
#include "DocumentFormat.h"
#include "GimpDocument.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace gimpbridge {
namespace {

using host::ColorModel;
using host::SampleType;

// GEGL stays up to the end of the process: its exit unloads modules whose own allocations would then show
// as leaks of unknown origin in the sanitizer build.
class GeglEnvironment : public ::testing::Environment {
public:
    void SetUp() override { gegl_init(nullptr, nullptr); }
};
const auto* const kGegl = ::testing::AddGlobalTestEnvironment(new GeglEnvironment);

struct FormatCase {
    GimpImageBaseType base;
    GimpPrecision precision;
    bool alpha;
    ColorModel color;
    SampleType sample;
    uint16_t channels;
    const char* babl;
};

TEST(DocumentFormat, EveryPrecisionAndBaseTypeMapsToADocumentBablKnows) {
    const FormatCase cases[] = {
        {GIMP_RGB, GIMP_PRECISION_U8_GAMMA, false, ColorModel::Rgb, SampleType::UInt8, 3, "R'G'B' u8"},
        {GIMP_RGB, GIMP_PRECISION_U8_LINEAR, true, ColorModel::Rgb, SampleType::UInt8, 4, "RGBA u8"},
        {GIMP_GRAY, GIMP_PRECISION_U8_GAMMA, true, ColorModel::Gray, SampleType::UInt8, 2, "Y'A u8"},
        {GIMP_RGB, GIMP_PRECISION_U16_GAMMA, true, ColorModel::Rgb, SampleType::UInt16, 4, "R'G'B'A u16"},
        {GIMP_GRAY, GIMP_PRECISION_U16_LINEAR, false, ColorModel::Gray, SampleType::UInt16, 1, "Y u16"},
        {GIMP_RGB, GIMP_PRECISION_U32_LINEAR, false, ColorModel::Rgb, SampleType::Float32, 3, "RGB float"},
        {GIMP_GRAY, GIMP_PRECISION_U32_GAMMA, false, ColorModel::Gray, SampleType::Float32, 1, "Y' float"},
        {GIMP_RGB, GIMP_PRECISION_HALF_LINEAR, true, ColorModel::Rgb, SampleType::Float32, 4, "RGBA float"},
        {GIMP_GRAY, GIMP_PRECISION_HALF_GAMMA, true, ColorModel::Gray, SampleType::Float32, 2, "Y'A float"},
        {GIMP_RGB, GIMP_PRECISION_FLOAT_GAMMA, false, ColorModel::Rgb, SampleType::Float32, 3,
         "R'G'B' float"},
        {GIMP_GRAY, GIMP_PRECISION_FLOAT_LINEAR, true, ColorModel::Gray, SampleType::Float32, 2, "YA float"},
        {GIMP_RGB, GIMP_PRECISION_DOUBLE_LINEAR, false, ColorModel::Rgb, SampleType::Float32, 3, "RGB float"},
        {GIMP_GRAY, GIMP_PRECISION_DOUBLE_GAMMA, false, ColorModel::Gray, SampleType::Float32, 1, "Y' float"},
        // Palettes hold 8-bit perceptual colours, whatever precision the image reports.
        {GIMP_INDEXED, GIMP_PRECISION_U8_GAMMA, false, ColorModel::Rgb, SampleType::UInt8, 3, "R'G'B' u8"},
        {GIMP_INDEXED, GIMP_PRECISION_FLOAT_LINEAR, true, ColorModel::Rgb, SampleType::UInt8, 4,
         "R'G'B'A u8"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.babl);
        const DocumentFormat format = FormatFor(c.base, c.precision, c.alpha);
        EXPECT_EQ(format.color, c.color);
        EXPECT_EQ(format.sample, c.sample);
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.babl, c.babl);
        EXPECT_TRUE(babl_format_exists(format.babl.c_str()));
    }
}

TEST(GimpDocument, StripsHoldAboutAMegabyteAndNeverMoreRowsThanTheImage) {
    EXPECT_EQ(GimpDocument::StripRows(1000, 100000), 1048u);
    EXPECT_EQ(GimpDocument::StripRows(1000, 7), 7u);
    EXPECT_EQ(GimpDocument::StripRows(size_t{20000} * 8 * 100, 5), 1u); // wider than a strip: one row
    EXPECT_EQ(GimpDocument::StripRows(0, 3), 3u);
}

// A 16-bit RGBA buffer whose every sample tells where it is, read back as the plug-in reads it.
class BufferRows : public ::testing::Test {
protected:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 2000; // 1800-byte rows: three strips of 582 rows and a shorter last one

    void SetUp() override {
        const GeglRectangle extent{0, 0, kWidth, kHeight};
        buffer_ = gegl_buffer_new(&extent, babl_format("R'G'B'A u16"));
        std::vector<uint16_t> pixels(size_t{kWidth} * kHeight * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<uint16_t>(i * 7919u);
        }
        gegl_buffer_set(buffer_, &extent, 0, babl_format("R'G'B'A u16"), pixels.data(), GEGL_AUTO_ROWSTRIDE);
        expected_ = std::move(pixels);
    }
    void TearDown() override { g_object_unref(buffer_); }

    // Sample c of pixel x in row y as stored.
    uint16_t Stored(int x, int y, int c) const { return expected_[(size_t(y) * kWidth + x) * 4 + c]; }

    GeglBuffer* buffer_ = nullptr;
    std::vector<uint16_t> expected_;
};

TEST_F(BufferRows, RowsInAnyOrderHoldTheStoredSamplesWithoutAlphaWhenNotAsked) {
    GimpDocument document(buffer_, FormatFor(GIMP_RGB, GIMP_PRECISION_U16_GAMMA, false), "rows.png");
    EXPECT_EQ(document.Info().width, uint32_t{kWidth});
    EXPECT_EQ(document.Info().height, uint32_t{kHeight});
    EXPECT_EQ(document.Info().channels, 3);
    // Down through strips, the last row of the last partial strip, then back to the top.
    for (int y : {0, 1, 581, 582, 1500, kHeight - 1, 3, 0}) {
        SCOPED_TRACE(y);
        const auto* row = static_cast<const uint16_t*>(document.Row(static_cast<uint32_t>(y)));
        for (int x : {0, 1, kWidth - 1}) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(row[x * 3 + c], Stored(x, y, c)) << "x " << x << " c " << c;
            }
        }
    }
    EXPECT_THROW(document.Row(kHeight), std::runtime_error);
}

TEST_F(BufferRows, HoldsTheBufferWhileItLivesAndLetsGoAfterwards) {
    g_object_ref(buffer_); // the caller's, given up while the document still reads
    auto document = std::make_unique<GimpDocument>(
        buffer_, FormatFor(GIMP_RGB, GIMP_PRECISION_U16_GAMMA, true), "rows.png");
    g_object_unref(buffer_);
    const auto* row = static_cast<const uint16_t*>(document->Row(kHeight - 1));
    EXPECT_EQ(row[4 * (kWidth - 1) + 3], Stored(kWidth - 1, kHeight - 1, 3));
    document.reset();
    EXPECT_EQ(G_OBJECT(buffer_)->ref_count, 1u); // the fixture's own
}

} // namespace
} // namespace gimpbridge

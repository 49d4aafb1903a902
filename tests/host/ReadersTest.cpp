// The image readers serve rows in any order, although a plug-in asks from the top down: an earlier row means
// a fresh band (TIFF) or a fresh decode from the first row (PNG).
#include "OpenImage.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWidth = 5;
constexpr uint32_t kHeight = 7;

uint16_t Sample(uint32_t x, uint32_t y, uint32_t c) {
    return static_cast<uint16_t>((y * 1000 + x * 10 + c) * 7);
}

std::vector<uint16_t> Row(uint32_t y) {
    std::vector<uint16_t> row;
    for (uint32_t x = 0; x < kWidth; ++x) {
        for (uint32_t c = 0; c < 3; ++c) {
            row.push_back(Sample(x, y, c));
        }
    }
    return row;
}

class ReadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("quenfield-readers-test-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void ExpectRowsInAnyOrder(const fs::path& path) {
        std::unique_ptr<host::RowSource> source = host::OpenImage(path).rows;
        ASSERT_EQ(source->Info().width, kWidth);
        ASSERT_EQ(source->Info().height, kHeight);
        ASSERT_EQ(source->Info().channels, 3);
        ASSERT_EQ(source->Info().sample, host::SampleType::UInt16);
        for (uint32_t y : {0u, 6u, 1u, 5u, 4u, 0u, 2u, 3u, 3u}) {
            const auto* row = static_cast<const uint16_t*>(source->Row(y));
            EXPECT_EQ(std::vector<uint16_t>(row, row + kWidth * 3), Row(y)) << path << " row " << y;
        }
    }

    fs::path folder_;
};

TEST_F(ReadersTest, TiffStripsAreReloadedForAnEarlierRow) {
    const fs::path path = folder_ / "strips.tif";
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
    for (uint32_t y = 0; y < kHeight; ++y) {
        std::vector<uint16_t> row = Row(y);
        ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
    }
    TIFFClose(tiff);
    ExpectRowsInAnyOrder(path);
}

TEST_F(ReadersTest, PngIsDecodedAgainFromTheTopForAnEarlierRow) {
    const fs::path path = folder_ / "rows.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_LINEAR_RGB; // 16-bit samples, no gamma change on writing
    std::vector<uint16_t> pixels;
    for (uint32_t y = 0; y < kHeight; ++y) {
        const std::vector<uint16_t> row = Row(y);
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr), 0)
        << image.message;
    ExpectRowsInAnyOrder(path);
}

} // namespace

// The image readers serve rows in any order, although a plug-in asks from the top down: an earlier row means
// a fresh band (TIFF) or a fresh decode from the first row (PNG, JPEG); the row just read, asked for again in
// another segment, does not.
#include "OpenImage.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
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

// 8-bit RGB from the same samples, as libjpeg-turbo compresses it.
void WriteJpeg(const fs::path& path, bool progressive) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct jpeg{};
    jpeg_error_mgr errors{};
    jpeg.err = jpeg_std_error(&errors);
    jpeg_create_compress(&jpeg);
    jpeg_stdio_dest(&jpeg, file);
    jpeg.image_width = kWidth;
    jpeg.image_height = kHeight;
    jpeg.input_components = 3;
    jpeg.in_color_space = JCS_RGB;
    jpeg_set_defaults(&jpeg);
    if (progressive) {
        jpeg_simple_progression(&jpeg);
    }
    jpeg_start_compress(&jpeg, TRUE);
    for (uint32_t y = 0; y < kHeight; ++y) {
        std::vector<JSAMPLE> row;
        for (const uint16_t sample : Row(y)) {
            row.push_back(static_cast<JSAMPLE>(sample & 0xFF));
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&jpeg, rows, 1);
    }
    jpeg_finish_compress(&jpeg);
    jpeg_destroy_compress(&jpeg);
    std::fclose(file);
}

void WritePng(const fs::path& path) {
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
}

std::vector<unsigned char> Copy(const host::RowSource& source, const void* row) {
    const auto* bytes = static_cast<const unsigned char*>(row);
    return {bytes, bytes + source.Info().RowBytes()};
}

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
    WritePng(path);
    ExpectRowsInAnyOrder(path);
}

TEST_F(ReadersTest, JpegRowsInAnyOrderEqualTheRowsReadFromTheTop) {
    for (const bool progressive : {false, true}) {
        const fs::path path = folder_ / (progressive ? "progressive.jpg" : "baseline.jpg");
        WriteJpeg(path, progressive);
        std::unique_ptr<host::RowSource> source = host::OpenImage(path).rows;
        ASSERT_EQ(source->Info().channels, 3);
        ASSERT_EQ(source->Info().sample, host::SampleType::UInt8);
        std::vector<std::vector<unsigned char>> fromTheTop;
        for (uint32_t y = 0; y < kHeight; ++y) {
            fromTheTop.push_back(Copy(*source, source->Row(y)));
        }
        for (uint32_t y : {6u, 1u, 5u, 0u, 3u, 3u}) {
            EXPECT_EQ(Copy(*source, source->Row(y)), fromTheTop[y]) << path << " row " << y;
        }
    }
}

// Decoding again from the top opens the file again; with the file gone, a second segment of the row just read
// must not need that.
TEST_F(ReadersTest, TheRowJustReadIsServedAgainWithoutAFreshDecode) {
    const fs::path png = folder_ / "again.png";
    const fs::path jpeg = folder_ / "again.jpg";
    WritePng(png);
    WriteJpeg(jpeg, false);
    for (const fs::path& path : {png, jpeg}) {
        std::unique_ptr<host::RowSource> source = host::OpenImage(path).rows;
        const std::vector<unsigned char> first = Copy(*source, source->Row(2));
        fs::remove(path);
        EXPECT_EQ(Copy(*source, source->Row(2)), first) << path;
        EXPECT_NO_THROW(source->Row(3)) << path;
    }
}

} // namespace

// The export file's header lines, the region arithmetic and the file names, below the module's entry.
#include "Export/ExportFile.h"
#include "DataGlobal.h"
#include "Export/ExportImage.h"
#include "Export/ExportName.h"
#include "Export/ExportRegion.h"
#include "TestFiles.h"
#include "platform/Error.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

class HeaderLines : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&globals, 0, sizeof globals);
        globals.iFile = -1;
        globals.rHead.pExportRecord = &record;
        path = scratch.Join("file");
        std::strcpy(globals.aPath, path.c_str());
        ASSERT_EQ(_exp::OpenExportFile(&globals), 0);
    }
    std::string Written() {
        EXPECT_EQ(_exp::CloseExportFile(&globals), 0);
        return testfiles::ReadText(path);
    }

    testfiles::TempFolder scratch;
    std::string path;
    ExportRecord record{};
    SGlobals globals{};
};

TEST_F(HeaderLines, NumbersArePrintedInFullAsSignedDecimals) {
    for (long value : {0L, 7L, 10000L, 65535L, long(INT32_MAX), -5L, long(INT32_MIN)}) {
        EXPECT_EQ(_exp::WriteHeaderLine<long>(&globals, "%i", value), 0);
    }
    EXPECT_EQ(Written(), "0\n7\n10000\n65535\n2147483647\n-5\n-2147483648\n");
}

TEST_F(HeaderLines, ALineOfThirtyCharactersIsTheLongestWritten) {
    EXPECT_EQ(_exp::WriteHeaderLine<const char*>(&globals, "%s", std::string(30, 'a').c_str()), 0);
    EXPECT_EQ(_exp::WriteHeaderLine<const char*>(&globals, "%s", std::string(31, 'b').c_str()),
              exportErrParam);
    EXPECT_EQ(_exp::WriteHeaderLine<const char*>(&globals, "%s", std::string(200, 'c').c_str()),
              exportErrParam);
    EXPECT_EQ(Written(), std::string(30, 'a') + "\n");
}

TEST_F(HeaderLines, EachFormatHasItsFourLines) {
    record.imageSize32 = VPoint{7, 10000};
    EXPECT_EQ(_exp::WritePPMHeader(&globals), 0);
    EXPECT_EQ(_exp::WritePFMHeader(&globals), 0);
    EXPECT_EQ(Written(), "P6\n10000\n7\n65535\nPF\n10000\n7\n-1.0000\n");
}

TEST_F(HeaderLines, AnUnsupportedDocumentGetsNoHeader) {
    record.imageMode = 4; // CMYK
    record.depth = 8;
    record.planes = 4;
    EXPECT_EQ(_exp::WriteImageHeader(&globals), exportErrParam);
    EXPECT_EQ(Written(), "");
}

TEST_F(HeaderLines, CloseWithoutAnOpenFileSucceeds) {
    EXPECT_EQ(_exp::CloseExportFile(&globals), 0);
    EXPECT_EQ(_exp::CloseExportFile(&globals), 0);
    EXPECT_EQ(globals.iFile, -1);
    EXPECT_THROW(_exp::WriteToExportFile(&globals, "a", 1), EError) << "no file is open";
}

TEST(ExportFile, AnEmptyPathThrowsAndAMissingFolderCannotBeOpened) {
    SGlobals globals{};
    globals.iFile = -1;
    EXPECT_THROW(_exp::OpenExportFile(&globals), EError);
    std::strcpy(globals.aPath, "/nonexistent-quenfield-folder/file.ppm");
    EXPECT_EQ(_exp::OpenExportFile(&globals), exportErrOpenFailed);
    EXPECT_EQ(globals.iFile, -1);
}

struct SpanCase {
    int32_t left;
    int32_t right;
    unsigned int pixels;
};

TEST(ExportRegion, NumPixelIsTheColumnSpanOrZero) {
    for (const SpanCase& c :
         {SpanCase{0, 10000, 10000}, SpanCase{20000, 25000, 5000}, SpanCase{5, 5, 0}, SpanCase{6, 5, 0},
          SpanCase{-1, 5, 0}, SpanCase{-5, -1, 0}, SpanCase{0, INT32_MAX, unsigned(INT32_MAX)}}) {
        _exp::SExportRegion region;
        region.rcRegion.left = c.left;
        region.rcRegion.right = c.right;
        region.rcRegion.top = 3; // rows are ignored
        EXPECT_EQ(region.GetNumPixel(), c.pixels) << c.left << ".." << c.right;
    }
    EXPECT_EQ(_exp::SExportRegion().GetNumPixel(), 0u);
}

TEST(ExportRegion, SetRectTakesTheHorizontalPairFirst) {
    VRect rect{};
    _hlp::SetRect(rect, 1, 2, 3, 4);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.right, 2);
    EXPECT_EQ(rect.top, 3);
    EXPECT_EQ(rect.bottom, 4);
    VRect copy{};
    _hlp::CopyRect(copy, rect);
    EXPECT_EQ(std::memcmp(&copy, &rect, sizeof rect), 0);
}

ExportRecord RecordNamed(const std::string& name, int16_t mode, int16_t depth) {
    ExportRecord record{};
    record.imageMode = mode;
    record.depth = depth;
    record.planes = 3;
    record.filename[0] = static_cast<unsigned char>(name.size());
    std::memcpy(record.filename + 1, name.data(), name.size());
    return record;
}

struct NameCase {
    std::string document;
    int16_t mode;
    int16_t depth;
    const char* file; // empty: no name
};

TEST(ExportFilename, DocumentNamesBecomeSafeFileNames) {
    const NameCase cases[] = {
        {"Sunset Beach.psd", plugInModeRGBColor, 8, "Sunset_Beach.ppm"},
        {"Sunset Beach.psd", plugInModeRGB96, 32, "Sunset_Beach.pfm"},
        {"photo.final.tif", plugInModeRGB48, 16, "photo_final.ppm"},
        {"Untitled-1", plugInModeRGBColor, 8, "Untitled-1.ppm"},
        {"(copy) 2+3", plugInModeRGBColor, 8, "(copy)_2+3.ppm"},
        {"a/b.c", plugInModeRGBColor, 8, "b.ppm"},
        {"caf\xC3\xA9.psd", plugInModeRGBColor, 8, "caf__.ppm"},
        {std::string("ab\0cd.psd", 9), plugInModeRGBColor, 8, "ab.ppm"},
        {std::string(255, 'x'), plugInModeRGBColor, 8, nullptr},
        {".psd", plugInModeRGBColor, 8, ""},
        {"", plugInModeRGBColor, 8, ""},
        {"dir/", plugInModeRGBColor, 8, ""},
        {"Fine.psd", 4, 8, ""},
    };
    for (const NameCase& c : cases) {
        ExportRecord record = RecordNamed(c.document, c.mode, c.depth);
        std::string name = "stale";
        const std::string expected = c.file != nullptr ? c.file : std::string(255, 'x') + ".ppm";
        EXPECT_EQ(_exp::GetExportFilename(&record, name), !expected.empty()) << c.document;
        EXPECT_EQ(name, expected) << c.document;
    }
    std::string unused;
    EXPECT_THROW(_exp::GetExportFilename(nullptr, unused), EError);
}

TEST(ExportFilename, TheLegalSetIsLettersDigitsAndFiveSigns) {
    std::string legal;
    for (int c = 0; c < 256; ++c) {
        if (_hlp::CharIsLegal(static_cast<char>(c))) {
            legal += static_cast<char>(c);
        }
    }
    EXPECT_EQ(legal, "()+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(_hlp::RemoveIllegalChars("a b.c\x80"), "a_b_c_");
}

} // namespace

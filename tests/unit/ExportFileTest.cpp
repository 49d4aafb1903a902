// The export file below the module's entry: its header lines, and opening and closing it.
#include "Export/ExportFile.h"
#include "DataGlobal.h"
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

} // namespace

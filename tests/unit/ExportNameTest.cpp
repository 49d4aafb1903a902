// The export file's name, made from the document's name and kind.
#include "Export/ExportName.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

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
    std::string file; // empty: no name
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
        {std::string(255, 'x'), plugInModeRGBColor, 8, std::string(255, 'x') + ".ppm"},
        {".psd", plugInModeRGBColor, 8, ""},
        {"", plugInModeRGBColor, 8, ""},
        {"dir/", plugInModeRGBColor, 8, ""},
        {"Fine.psd", 4, 8, ""},
    };
    for (const NameCase& c : cases) {
        ExportRecord record = RecordNamed(c.document, c.mode, c.depth);
        std::string name = "stale";
        EXPECT_EQ(_exp::GetExportFilename(&record, name), !c.file.empty()) << c.document;
        EXPECT_EQ(name, c.file) << c.document;
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

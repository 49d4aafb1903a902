#include "Export/ExportName.h"
#include "ThrownCode.h"
#include "platform/Path.h"
#include "platform/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace {

TEST(StrPrintF, NumberIntoZeroFilledLineKeepsTheRestZero) {
    char line[33];
    std::fill_n(line, sizeof line, 'x');
    std::fill_n(line, sizeof line, cTRAILING_ZERO);
    _hlp::StrPrintF(line, sizeof line, "%i", 1234);
    EXPECT_EQ(std::string(line), "1234");
    for (size_t i = 4; i < sizeof line; ++i) {
        EXPECT_EQ(line[i], '\0') << "byte " << i;
    }
}

struct CutCase {
    unsigned int size;
    const char* text;
    const char* kept;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const CutCase& c, std::ostream* os) {
    *os << "\"" << c.text << "\" into " << c.size;
}

class StrCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(StrCut, PrintFAndCopyKeepSizeMinusOneCharactersAndEndWithZero) {
    const CutCase& c = GetParam();
    char print[16];
    char copy[16];
    std::fill_n(print, sizeof print, '#');
    std::fill_n(copy, sizeof copy, '#');
    _hlp::StrPrintF(print, c.size, "%s", c.text);
    _hlp::StrCopy(copy, c.size, c.text);
    for (char* dst : {print, copy}) {
        EXPECT_EQ(std::string(dst), c.kept);
        EXPECT_EQ(dst[c.size - 1], '\0');
        EXPECT_EQ(dst[c.size], '#') << "wrote past the capacity";
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, StrCut,
                         ::testing::Values(CutCase{5, "abcd", "abcd"},  // exactly size - 1: whole
                                           CutCase{5, "abcde", "abcd"}, // size characters: cut
                                           CutCase{5, "abcdefgh", "abcd"}, CutCase{1, "abc", ""},
                                           CutCase{5, "", ""}));

TEST(StrCopy, LongPathIntoPathFieldKeeps255Characters) {
    const std::string text(300, 'p');
    char field[257];
    field[256] = '!';
    _hlp::StrCopy(field, 256, text.c_str());
    EXPECT_EQ(std::string(field), std::string(255, 'p'));
    EXPECT_EQ(field[255], '\0');
    EXPECT_EQ(field[256], '!');
}

TEST(StrHelpers, ZeroCapacityWritesNothing) {
    char c = '#';
    _hlp::StrCopy(&c, 0, "abc");
    _hlp::StrPrintF(&c, 0, "%s", "abc");
    EXPECT_EQ(c, '#');
}

TEST(StrHelpers, NullPointersThrowMissingParameter) {
    char buffer[4] = {};
    EXPECT_EQ(ThrownCode([&] { _hlp::StrPrintF(nullptr, 4, "x"); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { _hlp::StrPrintF(buffer, 4, nullptr); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { _hlp::StrCopy(nullptr, 4, "x"); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { _hlp::StrCopy(buffer, 4, nullptr); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { _hlp::StrGetLen(nullptr); }), eERROR_MISSING_PARAMETER);
}

TEST(StrGetLen, CountsUpToTheTerminator) {
    EXPECT_EQ(_hlp::StrGetLen(""), 0u);
    EXPECT_EQ(_hlp::StrGetLen("P6"), 2u);
}

TEST(CharacterConstants, HaveTheirValues) {
    EXPECT_EQ(cTRAILING_ZERO, 0);
    EXPECT_EQ(cPOINT, '.');
    EXPECT_EQ(cPATH_SEPARATOR, '/');
}

struct JoinCase {
    const char* folder;
    const char* name;
    const char* path;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const JoinCase& c, std::ostream* os) {
    *os << "\"" << c.folder << "\" and \"" << c.name << "\"";
}

class CreatePath : public ::testing::TestWithParam<JoinCase> {};

TEST_P(CreatePath, JoinsWithExactlyTheSeparatorsGiven) {
    EXPECT_EQ(_hlp::CreatePath(GetParam().folder, GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Table, CreatePath,
                         ::testing::Values(JoinCase{"", "x", "x"}, JoinCase{"a", "b", "a/b"},
                                           JoinCase{"a/", "b", "a/b"}, JoinCase{"a/", "/b", "a//b"}));

TEST(PathSeparators, AddHasAndRemove) {
    EXPECT_EQ(_hlp::RemoveSeparator("a//"), "a/");
    EXPECT_EQ(_hlp::RemoveSeparator(""), "");
    EXPECT_EQ(_hlp::RemoveSeparator("a"), "a");
    EXPECT_EQ(_hlp::AddSeparator(""), "");
    EXPECT_EQ(_hlp::AddSeparator("a/"), "a/");
    EXPECT_TRUE(_hlp::HasSeparator("/"));
    EXPECT_FALSE(_hlp::HasSeparator(""));
}

} // namespace

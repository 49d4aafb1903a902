// The version alert and the utilities behind it: placeholder substitution, number text, bounded strings and
// centring.
#include "sdk/DialogUtilities.h"
#include "DialogTestSupport.h"
#include "platform/Error.h"
#include "platform/Handles.h"
#include "sdk/HostAlerts.h"
#include "sdk/HostUtilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace dialogtest;

namespace {

std::string Format(double value, int16_t precision) {
    Str255 text;
    std::memset(text, 0x55, sizeof text);
    DoubleToString(text, value, precision);
    EXPECT_EQ(text[text[0] + 1], 0) << "no zero byte after the text";
    return Text(text);
}

TEST(DoubleToString, WritesTheSpecifiedDigits) {
    struct {
        double value;
        int16_t precision;
        const char* text;
    } const cases[] = {
        {3.0, 1, "3.0"},       {2.5, 1, "2.5"},   {2.5, 3, "2.5"}, // one zero dropped, then nothing left
        {3.14159, 3, "3.142"}, {2.75, 1, "2.7"},                   // 2.75 + 0.05 lies just below 2.8
        {0.0, 1, "0.0"},       {12.0, 2, "12.0"}, {-1.5, 1, "-1.5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.value, c.precision), c.text) << c.value << " at precision " << c.precision;
    }
}

TEST(DoubleToString, OutOfRangeValuesStillGiveDigits) {
    for (double value : {1e12, std::numeric_limits<double>::infinity(), std::nan("")}) {
        const std::string text = Format(value, 1);
        EXPECT_EQ(text.find_first_not_of("0123456789."), std::string::npos) << value << " gave " << text;
    }
}

TEST(Power, MultipliesTheBaseIntoOne) {
    EXPECT_EQ(power(10.0, 0), 1.0);
    EXPECT_EQ(power(10.0, 3), 1000.0);
    EXPECT_EQ(power(10.0, -2), 1.0);
}

TEST(AppendString, KeepsAtMost254CharactersAndAZeroByte) {
    Str255 text;
    Str255 more;
    SetText(text, std::string(250, 'a'));
    SetText(more, std::string(10, 'b'));
    AppendString(text, more, 1, 10);
    EXPECT_EQ(Text(text), std::string(250, 'a') + "bbbb");
    EXPECT_EQ(text[255], 0);
}

TEST(AppendString, TakesOnlyCharactersTheSourceHolds) {
    Str255 text;
    Str255 source;
    SetText(text, "x");
    SetText(source, "abc");
    source[4] = 'Z'; // beyond the source's length
    AppendString(text, source, 2, 10);
    AppendString(text, source, 1, 0);
    AppendString(text, source, 0, 2); // character 0 is the length byte, not text
    EXPECT_EQ(Text(text), "xbca");
}

TEST(PIResetString, EmptiesAndIgnoresNull) {
    Str255 text;
    SetText(text, "abc");
    PIResetString(text);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[1], 0);
    PIResetString(nullptr);
}

TEST(PIParamText, ReplacesPlaceholdersInPlace) {
    Str255 version;
    Str255 word;
    SetText(version, "3.0");
    SetText(word, "ab");
    struct {
        const char* text;
        const unsigned char* param0;
        const unsigned char* param1;
        const char* result;
    } const cases[] = {
        {"needs version ^1 or later", nullptr, version, "needs version 3.0 or later"},
        {"a^0b^2c", nullptr, version, "abc"}, // absent parameters insert nothing
        {"^x^^3^", version, version, "^x^^3^"},
        {"^1^1", nullptr, word, "abab"},
        // The character that moves into place before the scan position is not looked at again.
        {"^0^1", nullptr, word, "^1"},
    };
    for (const auto& c : cases) {
        Str255 text;
        SetText(text, c.text);
        PIParamText(text, c.param0, c.param1, nullptr);
        EXPECT_EQ(Text(text), c.result) << c.text;
    }
}

TEST(PIParamText, CutsAtTheCap) {
    Str255 text;
    Str255 param;
    SetText(text, std::string(248, 'a') + "^1");
    SetText(param, std::string(10, 'b'));
    PIParamText(text, nullptr, param, nullptr);
    EXPECT_EQ(Text(text), std::string(248, 'a') + "bbbbbb");
}

class Centring : public ::testing::Test {
protected:
    Rect Center(Rect bounds) {
        Handle h = NewHandle(sizeof(DialogTemplate));
        static_cast<DialogTemplate*>(HandleAddress(h))->boundsRect = bounds;
        CenterDialog(h);
        const Rect centred = static_cast<DialogTemplate*>(HandleAddress(h))->boundsRect;
        DisposeHandle(h);
        return centred;
    }
    CScriptedDisplay display{Rect{0, 0, 768, 1024}};
};

TEST_F(Centring, CentresAcrossAndAThirdDownBelowTheBand) {
    for (const Rect bounds : {Rect{0, 0, 100, 200}, Rect{50, 60, 150, 260}}) {
        const Rect centred = Center(bounds);
        EXPECT_EQ(centred.left, 412);
        EXPECT_EQ(centred.top, 236); // (768 - 100 - 20) / 3 + 20
        EXPECT_EQ(centred.right, 612);
        EXPECT_EQ(centred.bottom, 336);
    }
}

TEST_F(Centring, NullTemplateThrows) {
    EXPECT_THROW(CenterDialog(nullptr), EError);
}

ExportAdvanceStateProc const cSOME_ADVANCE_STATE = [] { return int16_t{0}; };

class VersionAlert : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(CountLoadedResources(), 0u); }
    CScriptedDisplay display{Rect{0, 0, 768, 1024}};
};

TEST_F(VersionAlert, AHostWithAdvanceStateSeesNothing) {
    EXPECT_TRUE(HostAdvanceStateAvailable(cSOME_ADVANCE_STATE));
    EXPECT_TRUE(WarnHostAdvanceStateAvailable(cSOME_ADVANCE_STATE));
    EXPECT_EQ(display.shows, 0);
}

TEST_F(VersionAlert, AHostWithoutIsToldTheVersionNeededUntilItClosesTheAlert) {
    display.Add(Null());
    display.Add(Key('x'));
    display.Add(Key(kEscapeCharCode));
    display.Add(Key('!'));
    EXPECT_FALSE(HostAdvanceStateAvailable(nullptr));
    EXPECT_FALSE(WarnHostAdvanceStateAvailable(nullptr));
    EXPECT_EQ(display.Remaining(), 1u);
    ASSERT_EQ(display.last.aItems.size(), 2u);
    EXPECT_NE(display.last.aItems[1].strText.find("too old to deliver pixel data"), std::string::npos);
    EXPECT_NE(display.last.aItems[1].strText.find("version 3.0 or later"), std::string::npos);
    EXPECT_TRUE(display.last.bCaution);
    EXPECT_EQ(display.last.rcBounds.left, (1024 - 416) / 2);
    EXPECT_EQ(display.last.rcBounds.top, (768 - 128 - 20) / 3 + 20);
    EXPECT_EQ(CountDialogs(), 0u);
}

TEST_F(VersionAlert, ReturnsTheItemAndShowsNothingForAlertZero) {
    Str255 version;
    SetText(version, "3.0");
    display.Add(Key(kReturnCharCode));
    EXPECT_EQ(ShowVersionAlert(nullptr, sALERT_VERSION, sSTRING_VERSION_MESSAGE, version, nullptr), 1);
    EXPECT_EQ(ShowVersionAlert(nullptr, 0, sSTRING_VERSION_MESSAGE, version, nullptr), 0);
    EXPECT_EQ(display.shows, 1);
}

TEST_F(VersionAlert, AMissingMessageLeavesTheAlertEmpty) {
    display.Add(Key(kReturnCharCode));
    EXPECT_EQ(ShowVersionAlert(nullptr, sALERT_VERSION, 12345, nullptr, nullptr), 1);
    ASSERT_EQ(display.last.aItems.size(), 2u);
    EXPECT_EQ(display.last.aItems[1].strText, "");
}

TEST_F(VersionAlert, WithNobodyToAnswerItClosesAtOnce) {
    EXPECT_FALSE(WarnHostAdvanceStateAvailable(nullptr));
    EXPECT_EQ(display.exhausted, 1);
}

} // namespace

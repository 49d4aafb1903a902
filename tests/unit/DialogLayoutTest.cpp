// Where a dialog is drawn on a screen too small for it or after the screen changed, how clicks there map
// back, and the texts' encoding.
#include "platform/linux/DialogLayout.h"

#include "AboutBox.h"
#include "DialogTestSupport.h"
#include "platform/Handles.h"
#include "sdk/DialogUtilities.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

auto Tie(const Rect& r) {
    return std::make_tuple(r.top, r.left, r.bottom, r.right);
}

// The About box as laid out: content 416 x 160, its default button and its text, at left, top.
SDialogView AboutView(int16_t top, int16_t left) {
    const auto at = [&](int t, int l, int b, int r) {
        return Rect{int16_t(top + t), int16_t(left + l), int16_t(top + b), int16_t(left + r)};
    };
    return SDialogView{"About",
                       at(0, 0, 160, 416),
                       false,
                       {{eITEM_BUTTON, at(128, 328, 144, 400), "OK", true},
                        {eITEM_TEXT, at(16, 16, 112, 400), "text", false}}};
}

// The terminal's frame: a cell on each side, the title in the top border row.
const Rect cCELL_FRAME = {16, 8, 16, 8};

TEST(FitView, KeepsTheBoxAndItsButtonsOnTheScreen) {
    struct {
        const char* name;
        Rect screen;
        SDialogView view;
        Point shift;
        Rect content, button, text;
    } const cases[] = {
        // Room enough: drawn where it is, moved by shift.
        {"fits",
         {0, 0, 480, 800},
         AboutView(120, 192),
         {0, 0},
         {120, 192, 280, 608},
         {248, 520, 264, 592},
         {136, 208, 232, 592}},
        {"shifted",
         {0, 0, 480, 800},
         AboutView(120, 192),
         {-20, 40},
         {100, 232, 260, 648},
         {228, 560, 244, 632},
         {116, 248, 212, 632}},
        // Beyond the right and bottom edges: moved back inside, frame included.
        {"pushed back",
         {0, 0, 480, 800},
         AboutView(400, 700),
         {0, 0},
         {304, 376, 464, 792},
         {432, 704, 448, 776},
         {320, 392, 416, 776}},
        // 40 x 10 cells: centring gave a negative left; the content is cut to the screen at its top-left
        // corner and the button moved inside it.
        {"40 x 10",
         {0, 0, 160, 320},
         AboutView(14, -48),
         {0, 0},
         {16, 8, 144, 312},
         {128, 240, 144, 312},
         {32, 24, 128, 312}},
        // A screen narrower than the button: it starts at the content's left and is cut at its right.
        {"tiny", {0, 0, 64, 48}, AboutView(0, 0), {0, 0}, {16, 8, 48, 40}, {32, 8, 48, 40}, {32, 24, 48, 40}},
    };
    for (const auto& c : cases) {
        const SDialogView fitted = FitView(c.view, c.shift, c.screen, cCELL_FRAME);
        EXPECT_EQ(Tie(fitted.rcBounds), Tie(c.content)) << c.name;
        EXPECT_EQ(Tie(fitted.aItems[0].rcBounds), Tie(c.button)) << c.name;
        EXPECT_EQ(Tie(fitted.aItems[1].rcBounds), Tie(c.text)) << c.name;
        EXPECT_TRUE(SameLook(fitted, fitted)) << c.name;
    }
}

TEST(UnfitPoint, ClicksOnTheDrawingReachTheItemsAndTheTitleBarOfTheDialog) {
    const SDialogView view = AboutView(14, -48);
    const SDialogView fitted = FitView(view, Point{0, 0}, Rect{0, 0, 160, 320}, cCELL_FRAME);
    const Rect& button = view.aItems[0].rcBounds;
    // The moved button's top-left pixel is the dialog's button's top-left pixel.
    const Point onButton = UnfitPoint(view, fitted, Point{128, 240});
    EXPECT_EQ(std::make_pair(onButton.v, onButton.h), std::make_pair(button.top, button.left));
    // Outside items: moved back as the content was (by 2 down, 56 right).
    const Point onTitle = UnfitPoint(view, fitted, Point{8, 100});
    EXPECT_EQ(std::make_pair(onTitle.v, onTitle.h), std::make_pair(int16_t(6), int16_t(44)));
}

TEST(CentredOrigin, PlacesAsCenterDialogPlacesTemplates) {
    for (const Rect screen : {Rect{0, 0, 768, 1024}, Rect{0, 0, 160, 320}, Rect{0, 0, 192, 400}}) {
        dialogtest::CScriptedDisplay display{screen};
        DialogTHndl dlgTemplate = GetResource(uiRESOURCE_DIALOG, sDIALOG_ABOUT);
        ASSERT_NE(dlgTemplate, nullptr);
        CenterDialog(dlgTemplate);
        const Rect centred = static_cast<const DialogTemplate*>(HandleAddress(dlgTemplate))->boundsRect;
        ReleaseResource(dlgTemplate);
        const Point origin =
            CentredOrigin(centred.right - centred.left, centred.bottom - centred.top, screen);
        EXPECT_EQ(std::make_pair(origin.v, origin.h), std::make_pair(centred.top, centred.left))
            << screen.right;
    }
}

TEST(SameLook, IgnoresOnlyWhereTheDialogStands) {
    const SDialogView view = AboutView(100, 100);
    SDialogView moved = AboutView(150, 10);
    EXPECT_TRUE(SameLook(view, moved));
    moved.aItems[1].strText = "other";
    EXPECT_FALSE(SameLook(view, moved));
    SDialogView cut = FitView(view, Point{0, 0}, Rect{0, 0, 200, 300}, cCELL_FRAME);
    EXPECT_FALSE(SameLook(view, cut));
}

TEST(ToUtf8, KeepsUtf8AndReadsOtherBytesAsLatin1) {
    struct {
        std::string text, utf8;
    } const cases[] = {
        {"plain", "plain"},
        {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7"},
        {"Caf\xe9", "Caf\xc3\xa9"},
        // A sequence cut off by a 255-byte limit, an overlong form and a surrogate are not UTF-8.
        {"a\xc3", "a\xc3\x83"},
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(c.text), c.utf8) << c.text;
    }
}

} // namespace

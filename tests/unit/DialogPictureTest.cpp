// Dialogs drawn in text for the terminal: wrapping and the frame.
#include "platform/linux/DialogPicture.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(WrapText, BreaksAtSpacesLineBreaksAndInsideOverlongWords) {
    struct {
        const char* text;
        size_t width;
        Lines lines;
    } const cases[] = {
        {"one two three", 7, {"one two", "three"}},
        {"a\n\nb", 5, {"a", "", "b"}},
        {"abcdefghij k", 4, {"abcd", "efgh", "ij k"}},
        {"  spaced  out ", 20, {"spaced out"}},
        {"anything", 0, {}},
        // A cut never splits a character: three two-byte characters in lines of three bytes.
        {"\xc3\xa9\xc3\xa9\xc3\xa9", 3, {"\xc3\xa9", "\xc3\xa9", "\xc3\xa9"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WrapText(c.text, c.width), c.lines) << c.text;
    }
}

TEST(DrawDialog, FramesTheContentCellsWithTheTitleOnTop) {
    // Content of 4 x 2 cells at cell row 2, column 3; a default button filling its second row.
    const SDialogView view{
        "T", Rect{32, 24, 64, 56}, false, {{eITEM_BUTTON, Rect{48, 24, 64, 56}, "", true}}};
    const SDialogPicture picture = DrawDialog(view);
    EXPECT_EQ(picture.iTop, 1);
    EXPECT_EQ(picture.iLeft, 2);
    EXPECT_EQ(picture.aRows, (Lines{"+ T -+", "|    |", "|<  >|", "+----+"}));
}

} // namespace

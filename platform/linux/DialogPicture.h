// A dialog drawn in text, for terminals: a framed box with the title in its top edge.
#ifndef QUENFIELD_PLATFORM_LINUX_DIALOGPICTURE_H
#define QUENFIELD_PLATFORM_LINUX_DIALOGPICTURE_H

#include "platform/Display.h"

#include <string>
#include <vector>

// Rows of characters; the first character of the first row stands at cell row iTop, column iLeft (either
// may be negative or beyond the screen; the caller clips).
struct SDialogPicture {
    int iTop;
    int iLeft;
    std::vector<std::string> aRows;
};

// The frame surrounds the content's cells; pixels map to cells of iCELL_WIDTH x iCELL_HEIGHT.
SDialogPicture DrawDialog(const SDialogView& view);

// Breaks text into lines of at most width characters at spaces; line breaks ("\n" or "\r") end a line,
// words longer than a line are cut (between characters).
std::vector<std::string> WrapText(const std::string& text, size_t width);

#endif

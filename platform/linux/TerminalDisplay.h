// Inside the Linux platform layer: dialogs on the user's terminal, and its character cell.
#ifndef QUENFIELD_PLATFORM_LINUX_TERMINALDISPLAY_H
#define QUENFIELD_PLATFORM_LINUX_TERMINALDISPLAY_H

#include "platform/Display.h"

#include <memory>

// One terminal character cell in pixels: the screen of an 80 x 24 terminal is 640 x 384 pixels.
enum { iCELL_WIDTH = 8, iCELL_HEIGHT = 16 };

// The terminal when the process may use it, else standard error.
std::unique_ptr<IDisplay> OpenTerminalDisplay();
// The terminal's size in pixels, 80 x 24 cells when there is no terminal.
Rect TerminalScreenBounds();

#endif

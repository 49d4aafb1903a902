// Inside the Linux platform layer: which display dialogs go to, and the character cell of the terminal.
#ifndef QUENFIELD_PLATFORM_LINUX_DISPLAYACCESS_H
#define QUENFIELD_PLATFORM_LINUX_DISPLAYACCESS_H

#include "platform/Display.h"

#include <memory>

// One terminal character cell in pixels: the screen of an 80 x 24 terminal is 640 x 384 pixels.
enum { cCELL_WIDTH = 8, cCELL_HEIGHT = 16 };

// The display tests installed, or null.
IDisplay* InstalledDisplay();
// The user's terminal when the process may use it, else standard error.
std::unique_ptr<IDisplay> OpenUserDisplay();
// The terminal's size in pixels, 80 x 24 cells when there is no terminal.
Rect TerminalScreenBounds();
// The installed display's screen, else the terminal's.
Rect MainScreenBounds();

#endif

// Inside the Linux platform layer: which display dialogs go to, and the character cell of the terminal.
#ifndef QUENFIELD_PLATFORM_LINUX_DISPLAYACCESS_H
#define QUENFIELD_PLATFORM_LINUX_DISPLAYACCESS_H

#include "platform/Display.h"

#include <memory>

// One terminal character cell in pixels: the screen of an 80 x 24 terminal is 640 x 384 pixels.
enum { cCELL_WIDTH = 8, cCELL_HEIGHT = 16 };

// The display tests installed, or null.
IDisplay* InstalledDisplay();
// The display of the ModalDialog running now, or null.
IDisplay* ModalDisplay();
// A window on the X display named by DISPLAY when there is one and Xlib and cairo can be loaded, else the
// user's terminal when the process may use it, else standard error.
std::unique_ptr<IDisplay> OpenUserDisplay();
// The terminal when the process may use it, else standard error.
std::unique_ptr<IDisplay> OpenTerminalDisplay();
// A window display, or null when there is no X display to show it on.
std::unique_ptr<IDisplay> OpenWindowDisplay();
// The X display's main screen in pixels; false when there is no X display to show windows on.
bool WindowScreenBounds(Rect& screen);
// The terminal's size in pixels, 80 x 24 cells when there is no terminal.
Rect TerminalScreenBounds();
// The screen of the installed display, else of the running dialog's, else of the one a dialog would open.
Rect MainScreenBounds();

#endif

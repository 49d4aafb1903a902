// Inside the Linux platform layer: dialogs as windows on an X display.
#ifndef QUENFIELD_PLATFORM_LINUX_WINDOWDISPLAY_H
#define QUENFIELD_PLATFORM_LINUX_WINDOWDISPLAY_H

#include "platform/Display.h"

#include <memory>

// A window display, or null when there is no X display to show it on.
std::unique_ptr<IDisplay> OpenWindowDisplay();
// The X display's main screen in pixels; false when there is no X display to show windows on.
bool WindowScreenBounds(Rect& screen);

#endif

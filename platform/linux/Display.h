// Inside the Linux platform layer: which display dialogs go to.
#ifndef QUENFIELD_PLATFORM_LINUX_DISPLAY_H
#define QUENFIELD_PLATFORM_LINUX_DISPLAY_H

#include "platform/Display.h"

#include <cstdint>
#include <memory>

// The display tests installed, or null.
IDisplay* InstalledDisplay();
// A window on the X display named by DISPLAY when there is one and Xlib and cairo can be loaded, else the
// user's terminal when the process may use it, else standard error.
std::unique_ptr<IDisplay> OpenUserDisplay();
// The time stamp of the displays' events: milliseconds of the monotonic clock.
uint32_t NowMs();

#endif

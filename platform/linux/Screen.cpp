// Screen geometry, the desktop region and number text.
#include "platform/Screen.h"

#include "platform/Error.h"
#include "platform/linux/Dialogs.h"
#include "platform/linux/Display.h"
#include "platform/linux/TerminalDisplay.h"
#include "platform/linux/WindowDisplay.h"

#include <cstdio>
#include <cstring>

struct SRegionRecord {
    Rect rcBounds;
};

namespace {

// The screen of the installed display, else of the running dialog's, else of the one a dialog would open.
Rect MainScreenBounds() {
    IDisplay* display = InstalledDisplay();
    if (display == nullptr) {
        display = ModalDisplay();
    }
    if (display != nullptr) {
        return display->ScreenBounds();
    }
    Rect screen{};
    return WindowScreenBounds(screen) ? screen : TerminalScreenBounds();
}

} // namespace

GDHandle GetMainDevice() {
    static GDevice device;
    static GDevice* master = &device;
    device.gdRect = MainScreenBounds();
    return &master;
}

RgnHandle GetGrayRgn() {
    static SRegionRecord desktop;
    desktop.rcBounds = MainScreenBounds();
    return &desktop;
}

void GetRegionBounds(RgnHandle region, Rect* bounds) {
    _hlp::Require(region != nullptr && bounds != nullptr);
    *bounds = region->rcBounds;
}

void OffsetRect(Rect* rect, int16_t dh, int16_t dv) {
    _hlp::Require(rect != nullptr);
    rect->left = static_cast<int16_t>(rect->left + dh);
    rect->right = static_cast<int16_t>(rect->right + dh);
    rect->top = static_cast<int16_t>(rect->top + dv);
    rect->bottom = static_cast<int16_t>(rect->bottom + dv);
}

void InsetRect(Rect* rect, int16_t dh, int16_t dv) {
    _hlp::Require(rect != nullptr);
    rect->left = static_cast<int16_t>(rect->left + dh);
    rect->right = static_cast<int16_t>(rect->right - dh);
    rect->top = static_cast<int16_t>(rect->top + dv);
    rect->bottom = static_cast<int16_t>(rect->bottom - dv);
}

void NumToString(int64_t number, StringPtr text) {
    _hlp::Require(text != nullptr);
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
    text[0] = static_cast<unsigned char>(length);
    std::memcpy(text + 1, digits, static_cast<size_t>(length));
}

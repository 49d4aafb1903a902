// Screen geometry, the desktop region and number text.
#include "platform/Error.h"
#include "platform/linux/DisplayAccess.h"

#include <cstdio>
#include <cstring>

struct SRegionRecord {
    Rect rcBounds;
};

namespace {

IDisplay* pInstalledDisplay = nullptr;

} // namespace

IDisplay* InstalledDisplay() {
    return pInstalledDisplay;
}

void InstallDisplay(IDisplay* display) {
    pInstalledDisplay = display;
}

Rect MainScreenBounds() {
    if (IDisplay* display = pInstalledDisplay != nullptr ? pInstalledDisplay : ModalDisplay()) {
        return display->ScreenBounds();
    }
    Rect screen{};
    return WindowScreenBounds(screen) ? screen : TerminalScreenBounds();
}

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

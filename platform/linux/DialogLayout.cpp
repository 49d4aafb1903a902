#include "platform/linux/DialogLayout.h"

#include <algorithm>

namespace {

Rect Offset(const Rect& rect, int dh, int dv) {
    return Rect{I16(rect.top + dv), I16(rect.left + dh), I16(rect.bottom + dv), I16(rect.right + dh)};
}

// Places one axis of an item inside [low, high): buttons keep their size where they can, texts are cut.
void FitAxis(int16_t& start, int16_t& end, int low, int high, bool keepSize) {
    if (keepSize && end > high) {
        const int excess = end - high;
        start = I16(start - excess);
        end = I16(end - excess);
    }
    start = I16(std::clamp<int>(start, low, high));
    end = I16(std::clamp<int>(end, start, high));
}

// One axis of the content: its start on the screen and the length that fits.
void FitContent(int start, int length, int screenLow, int screenHigh, int before, int after, int& fitStart,
                int& fitLength) {
    fitLength = std::min(length, std::max(screenHigh - screenLow - before - after, 0));
    fitStart = std::max(std::min(start, screenHigh - after - fitLength), screenLow + before);
}

// The length of the UTF-8 sequence at text[i], 0 when it is not valid UTF-8.
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    const unsigned char second = byte(i + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
        return 0;
    }
    return length;
}

} // namespace

bool PointInRect(Point point, const Rect& rect) {
    return point.v >= rect.top && point.v < rect.bottom && point.h >= rect.left && point.h < rect.right;
}

bool SameRect(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

int16_t I16(int value) {
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

Point CentredOrigin(int width, int height, const Rect& screen) {
    const int screenWidth = screen.right - screen.left;
    const int screenHeight = screen.bottom - screen.top;
    return Point{I16(screen.top + (screenHeight - height - 20) / 3 + 20),
                 I16(screen.left + (screenWidth - width) / 2)};
}

SDialogView FitView(const SDialogView& view, Point shift, const Rect& screen, const Rect& frame) {
    const Rect& content = view.rcBounds;
    int left = 0, width = 0, top = 0, height = 0;
    FitContent(content.left + shift.h, content.right - content.left, screen.left, screen.right, frame.left,
               frame.right, left, width);
    FitContent(content.top + shift.v, content.bottom - content.top, screen.top, screen.bottom, frame.top,
               frame.bottom, top, height);
    SDialogView fitted = view;
    fitted.rcBounds = Rect{I16(top), I16(left), I16(top + height), I16(left + width)};
    const int dh = left - content.left;
    const int dv = top - content.top;
    for (SItemView& item : fitted.aItems) {
        Rect& bounds = item.rcBounds;
        bounds = Offset(bounds, dh, dv);
        const bool keepSize = item.eKind == eITEM_BUTTON;
        FitAxis(bounds.left, bounds.right, fitted.rcBounds.left, fitted.rcBounds.right, keepSize);
        FitAxis(bounds.top, bounds.bottom, fitted.rcBounds.top, fitted.rcBounds.bottom, keepSize);
    }
    return fitted;
}

Point UnfitPoint(const SDialogView& view, const SDialogView& fitted, Point where) {
    for (size_t i = 0; i < fitted.aItems.size() && i < view.aItems.size(); ++i) {
        const Rect& drawn = fitted.aItems[i].rcBounds;
        const Rect& own = view.aItems[i].rcBounds;
        if (PointInRect(where, drawn) && own.right > own.left && own.bottom > own.top) {
            return Point{I16(std::clamp(own.top + where.v - drawn.top, int{own.top}, own.bottom - 1)),
                         I16(std::clamp(own.left + where.h - drawn.left, int{own.left}, own.right - 1))};
        }
    }
    return Point{I16(where.v - (fitted.rcBounds.top - view.rcBounds.top)),
                 I16(where.h - (fitted.rcBounds.left - view.rcBounds.left))};
}

bool SameLook(const SDialogView& a, const SDialogView& b) {
    const auto size = [](const Rect& r) { return std::make_pair(r.right - r.left, r.bottom - r.top); };
    if (a.strTitle != b.strTitle || a.bCaution != b.bCaution || size(a.rcBounds) != size(b.rcBounds) ||
        a.aItems.size() != b.aItems.size()) {
        return false;
    }
    for (size_t i = 0; i < a.aItems.size(); ++i) {
        const SItemView& x = a.aItems[i];
        const SItemView& y = b.aItems[i];
        const Rect xr = Offset(x.rcBounds, -a.rcBounds.left, -a.rcBounds.top);
        const Rect yr = Offset(y.rcBounds, -b.rcBounds.left, -b.rcBounds.top);
        if (x.eKind != y.eKind || x.strText != y.strText || x.bDefault != y.bDefault || !SameRect(xr, yr)) {
            return false;
        }
    }
    return true;
}

std::string ToUtf8(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size();) {
        if (const size_t length = Utf8Length(text, i)) {
            result.append(text, i, length);
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i++]);
        result += static_cast<char>(0xC0 | byte >> 6);
        result += static_cast<char>(0x80 | (byte & 0x3F));
    }
    return result;
}

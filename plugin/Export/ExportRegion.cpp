#include "Export/ExportRegion.h"

namespace _exp {

SExportRegion::SExportRegion() : rcRegion{0, 0, 0, 0}, sLoPlane(0), sHiPlane(0) {}

unsigned int SExportRegion::GetNumPixel() const {
    const int32_t left = rcRegion.left;
    const int32_t right = rcRegion.right;
    if (left < 0 || right < 0 || right <= left) {
        return 0;
    }
    return static_cast<unsigned int>(right - left);
}

} // namespace _exp

namespace _hlp {

void SetRect(VRect& rect, unsigned int left, unsigned int right, unsigned int top, unsigned int bottom) {
    rect.left = static_cast<int32_t>(left);
    rect.right = static_cast<int32_t>(right);
    rect.top = static_cast<int32_t>(top);
    rect.bottom = static_cast<int32_t>(bottom);
}

void CopyRect(VRect& dst, const VRect& src) {
    dst.top = src.top;
    dst.left = src.left;
    dst.bottom = src.bottom;
    dst.right = src.right;
}

} // namespace _hlp

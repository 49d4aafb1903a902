// One request for pixels, and the host's rectangles.
#ifndef QUENFIELD_EXPORT_EXPORTREGION_H
#define QUENFIELD_EXPORT_EXPORTREGION_H

#include "ExportInterface.h"

#include <cstdint>

namespace _exp {

// One request for pixels: one row segment and a range of planes.
struct SExportRegion {
    VRect rcRegion;
    int16_t sLoPlane;
    int16_t sHiPlane;

    SExportRegion();
    // Columns of rcRegion; 0 for a negative or empty span.
    unsigned int GetNumPixel() const;
};

} // namespace _exp

namespace _hlp {

// Note the parameter order: the horizontal pair first, then the vertical pair.
void SetRect(VRect& rect, unsigned int left, unsigned int right, unsigned int top, unsigned int bottom);
void CopyRect(VRect& dst, const VRect& src);

} // namespace _hlp

#endif

// The image export driver: moves the document from the host through the conversion buffer into the file.
#ifndef QUENFIELD_EXPORT_EXPORTIMAGE_H
#define QUENFIELD_EXPORT_EXPORTIMAGE_H

#include "DataGlobal.h"
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

int16_t ExportImage(SGlobals* globals);
int16_t FetchData(SGlobals* globals, const SExportRegion* region, void** data, unsigned int* size);
int16_t ConvertData(SGlobals* globals, void** data, unsigned int* size, unsigned int numPixel);
int16_t CheckAbort(const ExportRecord* record);

} // namespace _exp

namespace _hlp {

// Note the parameter order: the horizontal pair first, then the vertical pair.
void SetRect(VRect& rect, unsigned int left, unsigned int right, unsigned int top, unsigned int bottom);
void CopyRect(VRect& dst, const VRect& src);

} // namespace _hlp

#endif

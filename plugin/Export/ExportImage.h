// The image export driver: moves the document from the host through the conversion buffer into the file.
#ifndef QUENFIELD_EXPORT_EXPORTIMAGE_H
#define QUENFIELD_EXPORT_EXPORTIMAGE_H

#include "DataGlobal.h"
#include "Export/ExportRegion.h"
#include "ExportInterface.h"

#include <cstdint>

namespace _exp {

int16_t ExportImage(SGlobals* globals);
int16_t FetchData(SGlobals* globals, const SExportRegion* region, void** data, unsigned int* size);
int16_t ConvertData(SGlobals* globals, void** data, unsigned int* size, unsigned int numPixel);
int16_t CheckAbort(const ExportRecord* record);

} // namespace _exp

#endif

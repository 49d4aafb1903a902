// What kind of document the export is handling.
#ifndef QUENFIELD_EXPORT_CLASSIFY_H
#define QUENFIELD_EXPORT_CLASSIFY_H

#include "ConvertBuffer/IConvertBuffer.h"
#include "ExportInterface.h"

namespace _exp {

enum EInputMode : int32_t {
    eINPUT_MODE_NONE = 0,
    eINPUT_MODE_RGB_8 = 1,
    eINPUT_MODE_RGB_16 = 2,
    eINPUT_MODE_RGB_32 = 3,
    eINPUT_MODE_GRAY_8 = 4,
    eINPUT_MODE_GRAY_16 = 5,
    eINPUT_MODE_GRAY_32 = 6,
};

enum EInputDepth : int32_t {
    eINPUT_DEPTH_NONE = 0,
    eINPUT_DEPTH_8 = 1,
    eINPUT_DEPTH_16 = 2,
    eINPUT_DEPTH_32 = 3,
};

enum EExportMode : int32_t {
    eEXPORT_MODE_NONE = 0,
    eEXPORT_MODE_PPM = 1, // "P6", 16-bit samples
    eEXPORT_MODE_PFM = 2, // "PF", 32-bit float samples
};

bool IsGrayMode(const ExportRecord* record);
bool IsRGBMode(const ExportRecord* record);
EInputMode GetInputMode(const ExportRecord* record);
EInputDepth GetInputDepth(const ExportRecord* record);
EExportMode GetExportMode(const ExportRecord* record);
EInputFormat GetInputFormat(const ExportRecord* record);
// Width and height both above zero.
bool HasPixels(const ExportRecord* record);
// At most as many planes as one pixel of the conversion buffer can hold.
bool FitsBuffer(const ExportRecord* record);
// A supported kind, with pixels, that fits the buffer: the documents an export can finish.
bool IsExportable(const ExportRecord* record);

} // namespace _exp

#endif

// Each classification asks the one below it afresh; nothing is cached, so a changed record is never
// misread.
#include "Export/Classify.h"

#include "ConvertBuffer/ConvertBuffer.h"
#include "platform/Error.h"

namespace {

// The colour model comes from the mode, the depth only from the depth field.
_exp::EInputMode ModeForDepth(int16_t depth, _exp::EInputMode mode8, _exp::EInputMode mode16,
                              _exp::EInputMode mode32) {
    switch (depth) {
    case 8:
        return mode8;
    case 16:
        return mode16;
    case 32:
        return mode32;
    default:
        return _exp::eINPUT_MODE_NONE;
    }
}

} // namespace

namespace _exp {

bool IsGrayMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    const int16_t mode = record->imageMode;
    return (mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32) &&
           record->planes > 0;
}

// Three planes at least: the conversion reads red, green and blue from every pixel.
bool IsRGBMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    const int16_t mode = record->imageMode;
    return (mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96) &&
           record->planes > 2;
}

EInputMode GetInputMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    if (IsRGBMode(record)) {
        return ModeForDepth(record->depth, eINPUT_MODE_RGB_8, eINPUT_MODE_RGB_16, eINPUT_MODE_RGB_32);
    }
    if (IsGrayMode(record)) {
        return ModeForDepth(record->depth, eINPUT_MODE_GRAY_8, eINPUT_MODE_GRAY_16, eINPUT_MODE_GRAY_32);
    }
    return eINPUT_MODE_NONE;
}

EInputDepth GetInputDepth(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    switch (GetInputMode(record)) {
    case eINPUT_MODE_RGB_8:
    case eINPUT_MODE_GRAY_8:
        return eINPUT_DEPTH_8;
    case eINPUT_MODE_RGB_16:
    case eINPUT_MODE_GRAY_16:
        return eINPUT_DEPTH_16;
    case eINPUT_MODE_RGB_32:
    case eINPUT_MODE_GRAY_32:
        return eINPUT_DEPTH_32;
    default:
        return eINPUT_DEPTH_NONE;
    }
}

EExportMode GetExportMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    switch (GetInputDepth(record)) {
    case eINPUT_DEPTH_8:
    case eINPUT_DEPTH_16:
        return eEXPORT_MODE_PPM;
    case eINPUT_DEPTH_32:
        return eEXPORT_MODE_PFM;
    default:
        return eEXPORT_MODE_NONE;
    }
}

EInputFormat GetInputFormat(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    switch (GetInputMode(record)) {
    case eINPUT_MODE_RGB_8:
    case eINPUT_MODE_RGB_16:
    case eINPUT_MODE_RGB_32:
        return eINPUT_FORMAT_RGB;
    case eINPUT_MODE_GRAY_8:
    case eINPUT_MODE_GRAY_16:
    case eINPUT_MODE_GRAY_32:
        return eINPUT_FORMAT_GRAY;
    default:
        return eINPUT_FORMAT_NONE;
    }
}

bool HasPixels(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return record->imageSize32.h > 0 && record->imageSize32.v > 0;
}

bool FitsBuffer(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return record->planes > 0 && static_cast<unsigned int>(record->planes) <= uiBUFFER_SIZE;
}

bool IsExportable(const ExportRecord* record) {
    return GetInputMode(record) != eINPUT_MODE_NONE && HasPixels(record) && FitsBuffer(record);
}

} // namespace _exp

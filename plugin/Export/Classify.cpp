// Every classification looks the record up afresh; nothing is cached, so a changed record is never misread.
#include "Export/Classify.h"

#include "ConvertBuffer/ConvertBuffer.h"
#include "platform/Error.h"

namespace {

// Every supported kind of document and what follows from it. The colour model comes from the mode, the depth
// only from the depth field.
struct SInputKind {
    _exp::EInputMode eMode;
    EInputFormat eFormat;
    int16_t sBits;
    _exp::EInputDepth eDepth;
    _exp::EExportMode eExport;
};

const SInputKind aINPUT_KINDS[] = {
    {_exp::eINPUT_MODE_RGB_8, eINPUT_FORMAT_RGB, 8, _exp::eINPUT_DEPTH_8, _exp::eEXPORT_MODE_PPM},
    {_exp::eINPUT_MODE_RGB_16, eINPUT_FORMAT_RGB, 16, _exp::eINPUT_DEPTH_16, _exp::eEXPORT_MODE_PPM},
    {_exp::eINPUT_MODE_RGB_32, eINPUT_FORMAT_RGB, 32, _exp::eINPUT_DEPTH_32, _exp::eEXPORT_MODE_PFM},
    {_exp::eINPUT_MODE_GRAY_8, eINPUT_FORMAT_GRAY, 8, _exp::eINPUT_DEPTH_8, _exp::eEXPORT_MODE_PPM},
    {_exp::eINPUT_MODE_GRAY_16, eINPUT_FORMAT_GRAY, 16, _exp::eINPUT_DEPTH_16, _exp::eEXPORT_MODE_PPM},
    {_exp::eINPUT_MODE_GRAY_32, eINPUT_FORMAT_GRAY, 32, _exp::eINPUT_DEPTH_32, _exp::eEXPORT_MODE_PFM},
};

const SInputKind rUNSUPPORTED = {_exp::eINPUT_MODE_NONE, eINPUT_FORMAT_NONE, 0, _exp::eINPUT_DEPTH_NONE,
                                 _exp::eEXPORT_MODE_NONE};

const SInputKind& FindKind(const ExportRecord* record) {
    const EInputFormat format = _exp::IsRGBMode(record)    ? eINPUT_FORMAT_RGB
                                : _exp::IsGrayMode(record) ? eINPUT_FORMAT_GRAY
                                                           : eINPUT_FORMAT_NONE;
    for (const SInputKind& kind : aINPUT_KINDS) {
        if (kind.eFormat == format && kind.sBits == record->depth) {
            return kind;
        }
    }
    return rUNSUPPORTED;
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
    return FindKind(record).eMode;
}

EInputDepth GetInputDepth(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return FindKind(record).eDepth;
}

EExportMode GetExportMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return FindKind(record).eExport;
}

EInputFormat GetInputFormat(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return FindKind(record).eFormat;
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

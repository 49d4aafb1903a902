#include "DocumentFormat.h"

namespace gimpbridge {
namespace {

bool IsLinear(GimpPrecision precision) {
    switch (precision) {
    case GIMP_PRECISION_U8_LINEAR:
    case GIMP_PRECISION_U16_LINEAR:
    case GIMP_PRECISION_U32_LINEAR:
    case GIMP_PRECISION_HALF_LINEAR:
    case GIMP_PRECISION_FLOAT_LINEAR:
    case GIMP_PRECISION_DOUBLE_LINEAR:
        return true;
    default:
        return false;
    }
}

host::SampleType SampleFor(GimpPrecision precision) {
    switch (precision) {
    case GIMP_PRECISION_U8_LINEAR:
    case GIMP_PRECISION_U8_GAMMA:
        return host::SampleType::UInt8;
    case GIMP_PRECISION_U16_LINEAR:
    case GIMP_PRECISION_U16_GAMMA:
        return host::SampleType::UInt16;
    default:
        return host::SampleType::Float32;
    }
}

const char* BablType(host::SampleType sample) {
    switch (sample) {
    case host::SampleType::UInt8:
        return "u8";
    case host::SampleType::UInt16:
        return "u16";
    case host::SampleType::Float32:
        return "float";
    }
    return "";
}

} // namespace

DocumentFormat FormatFor(GimpImageBaseType base, GimpPrecision precision, bool alpha) {
    DocumentFormat format;
    // An indexed image's colours are 8-bit perceptual RGB, whatever precision it reports.
    const bool indexed = base == GIMP_INDEXED;
    const bool linear = !indexed && IsLinear(precision);
    format.sample = indexed ? host::SampleType::UInt8 : SampleFor(precision);
    format.color = base == GIMP_GRAY ? host::ColorModel::Gray : host::ColorModel::Rgb;
    const bool gray = format.color == host::ColorModel::Gray;
    format.channels = static_cast<uint16_t>((gray ? 1 : 3) + (alpha ? 1 : 0));
    std::string model = gray ? (linear ? "Y" : "Y'") : (linear ? "RGB" : "R'G'B'");
    if (alpha) {
        model += "A";
    }
    format.babl = model + " " + BablType(format.sample);
    return format;
}

} // namespace gimpbridge

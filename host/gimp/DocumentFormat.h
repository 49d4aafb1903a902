// How a GIMP image is handed to the plug-in: the document kind its precision and base type map to, and the
// pixel layout GIMP is asked for.
#ifndef QUENFIELD_GIMP_DOCUMENTFORMAT_H
#define QUENFIELD_GIMP_DOCUMENTFORMAT_H

#include "Document.h"

#include <libgimp/gimp.h>

#include <string>

namespace gimpbridge {

struct DocumentFormat {
    host::ColorModel color = host::ColorModel::Rgb;
    host::SampleType sample = host::SampleType::UInt8;
    uint16_t channels = 0;
    // The babl format GIMP converts its pixels to. Its transfer curve is the image's own, so the values are
    // the ones GIMP stores: perceptual (gamma) precisions stay perceptual, linear ones linear.
    std::string babl;
};

// Indexed images as 8-bit RGB; 32-bit integer, half, float and double precision as 32-bit float.
DocumentFormat FormatFor(GimpImageBaseType base, GimpPrecision precision, bool alpha);

} // namespace gimpbridge

#endif

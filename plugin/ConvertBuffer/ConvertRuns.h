// Whole runs of pixels converted in one call each: the conversion buffers' inner loops.
#ifndef QUENFIELD_CONVERTBUFFER_CONVERTRUNS_H
#define QUENFIELD_CONVERTBUFFER_CONVERTRUNS_H

#include "ConvertBuffer/ConvertValue.h"

namespace _hlp {

// One host sample as the file's sample, in the file's byte order; the same value as the buffer's Convert.
// Both bytes of v * 257 are v, so the 8-bit value needs no swap in either byte order.
inline unsigned short MapToFile(unsigned char v) {
    return MapTo16Bit(v);
}
inline unsigned short MapToFile(unsigned short v) {
    return ToBigEndian(MapHostTo16Bit(v));
}
inline float MapToFile(float v) {
    return ToLittleEndian(v);
}

// numPixel pixels of `planes` samples each from input into three samples each in output: the first three
// samples of every pixel (RGB) or the first one repeated (gray), pixel by pixel in ascending order. The
// caller has checked that the run lies inside both arrays; the arrays do not overlap.
void MapRunRGB(const unsigned char* input, unsigned short* output, unsigned int numPixel,
               unsigned int planes);
void MapRunRGB(const unsigned short* input, unsigned short* output, unsigned int numPixel,
               unsigned int planes);
void MapRunRGB(const float* input, float* output, unsigned int numPixel, unsigned int planes);
void MapRunGray(const unsigned char* input, unsigned short* output, unsigned int numPixel,
                unsigned int planes);
void MapRunGray(const unsigned short* input, unsigned short* output, unsigned int numPixel,
                unsigned int planes);
void MapRunGray(const float* input, float* output, unsigned int numPixel, unsigned int planes);

} // namespace _hlp

#endif

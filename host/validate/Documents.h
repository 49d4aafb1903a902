// Documents the checks export, and what the plug-in must make of them, computed here from the delivered
// samples and the protocol's rules alone: no code of the plug-in is used.
#ifndef QUENFIELD_VALIDATE_DOCUMENTS_H
#define QUENFIELD_VALIDATE_DOCUMENTS_H

#include "ExportInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace validate {

struct Document {
    int16_t mode = plugInModeRGBColor;
    int16_t depth = 8;
    int16_t planes = 3;
    int32_t width = 1;
    int32_t height = 1;
    std::string name = "Validate.psd"; // the bytes after the record's length byte
    // Interleaved per pixel, rows from the top, in the processor's byte order: 8-bit, 16-bit in the host's
    // range 0..32768, or float.
    std::vector<uint8_t> samples;

    size_t SampleBytes() const;
    size_t PixelBytes() const { return SampleBytes() * size_t(planes); }
    const uint8_t* Sample(int32_t x, int32_t y, int plane) const;
    std::string Describe() const; // "RGB 8-bit, 3 planes, 5x3"
};

// Varies the samples of every document made from now on; 0, the default, gives the samples of earlier runs.
void SetSampleSeed(uint64_t seed);

// A document of the given kind whose samples vary by plane, column and row and include the extremes of the
// depth (0 and the maximum; for floats also negative, above 1, infinite, NaN, denormal and -0).
Document MakeDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                      std::string name = "Validate.psd");

bool IsGrayMode(int16_t mode);
bool IsRGBMode(int16_t mode);
// Whether the protocol lets a plug-in export the document: a gray mode with at least one plane or an RGB
// mode with at least three, at 8, 16 or 32 bits.
bool IsSupported(int16_t mode, int16_t depth, int16_t planes);

// The whole export file: "P6\nW\nH\n65535\n" then 16-bit samples most significant byte first (8-bit v as
// v*257, 16-bit v as min(65535, floor(v*65535/32768))), or "PF\nW\nH\n-1.0000\n" then the float bits least
// significant byte first; three samples per pixel, gray repeated, other planes left out.
std::vector<uint8_t> ExpectedFile(const Document& document);

// The export file's name for a document name (the record's bytes): up to a NUL, after the last "/", without
// the last extension, every byte outside letters, digits and "+-()_" as "_", then ".ppm" or ".pfm". Empty
// when nothing is left.
std::string ExpectedName(const std::string& documentName, int16_t depth);

// Where the file first differs from the document's expected file, in words (the byte, and the pixel and
// channel when it lies in the samples); empty when they are equal.
std::string FirstDifference(const std::vector<uint8_t>& seen, const Document& document);

} // namespace validate

#endif

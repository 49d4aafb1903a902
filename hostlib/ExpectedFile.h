// The file and name the plug-in must make of a document, computed here from the delivered samples and the
// protocol's rules alone: no code of the plug-in is used.
#ifndef QUENFIELD_HOST_EXPECTEDFILE_H
#define QUENFIELD_HOST_EXPECTEDFILE_H

#include "MemoryDocument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The header's four lines, each with its newline: "P6", width, height, "65535" for 8 and 16 bits; "PF",
// width, height, "-1.0000" for 32 bits.
std::vector<std::string> ExpectedHeaderLines(int32_t width, int32_t height, int16_t depth);
// One delivered sample (the processor's byte order, 16-bit in the host's range) as the file holds it:
// 16-bit most significant byte first (8-bit v as v*257, 16-bit v as min(65535, floor(v*65535/32768))), or
// the float's bits least significant byte first.
void AppendExpectedSample(std::vector<uint8_t>& out, int16_t depth, const uint8_t* sample);

// The whole export file: the header, then three samples per pixel, gray repeated, other planes left out.
std::vector<uint8_t> ExpectedFile(const MemoryDocument& document);

// The export file's name for a document name (the record's bytes): up to a NUL, after the last "/", without
// the last extension, every byte outside letters, digits and "+-()_" as "_", then ".ppm" or ".pfm". Empty
// when nothing is left.
std::string ExpectedName(const std::string& documentName, int16_t depth);

// Where the file first differs from the document's expected file, in words (the byte, and the pixel and
// channel when it lies in the samples); empty when they are equal.
std::string FirstDifference(const std::vector<uint8_t>& seen, const MemoryDocument& document);

} // namespace host

#endif

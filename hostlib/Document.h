// A document as the host holds it: what the plug-in is told about it, and its rows on demand.
#ifndef QUENFIELD_HOST_DOCUMENT_H
#define QUENFIELD_HOST_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

enum class ColorModel { Gray, Rgb };
enum class SampleType { UInt8, UInt16, Float32 };

constexpr size_t BytesPerSample(SampleType type) {
    return type == SampleType::UInt8 ? 1 : type == SampleType::UInt16 ? 2 : 4;
}

struct DocumentInfo {
    std::string name; // the document's file name, without folders
    uint32_t width = 0;
    uint32_t height = 0;
    ColorModel color = ColorModel::Gray;
    SampleType sample = SampleType::UInt8;
    uint16_t channels = 0; // samples per pixel: the colour samples, then alpha and further extra channels

    size_t RowBytes() const { return size_t{width} * channels * BytesPerSample(sample); }
};

// The rows of a document, channels interleaved per pixel, samples as the file stores them (16-bit samples
// 0..65535) in the processor's byte order.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const DocumentInfo& Info() const = 0;
    // Row y, 0 being the top row. The pointer is valid until the next call. Rows asked for from the top down
    // are the cheap case; an earlier row may cost a fresh decode. Throws std::runtime_error with the reason
    // when the row cannot be read.
    virtual const void* Row(uint32_t y) = 0;
};

} // namespace host

#endif

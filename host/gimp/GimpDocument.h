// A GIMP drawable as the plug-in's document, read from GIMP's tiles a strip of rows at a time, so that the
// bridge never holds more than one strip of the image whatever its height.
#ifndef QUENFIELD_GIMP_GIMPDOCUMENT_H
#define QUENFIELD_GIMP_GIMPDOCUMENT_H

#include "Document.h"
#include "DocumentFormat.h"

#include <gegl.h>

#include <vector>

namespace gimpbridge {

class GimpDocument final : public host::RowSource {
public:
    // Takes a reference to the buffer; the buffer's own format decides the colour space GIMP converts in.
    GimpDocument(GeglBuffer* buffer, const DocumentFormat& format, std::string name);
    ~GimpDocument() override;
    GimpDocument(const GimpDocument&) = delete;
    GimpDocument& operator=(const GimpDocument&) = delete;

    const host::DocumentInfo& Info() const override { return info_; }
    const void* Row(uint32_t y) override;

    // The rows one read fetches: about a megabyte, at least one row, never more than the image.
    static uint32_t StripRows(size_t rowBytes, uint32_t height);

private:
    GeglBuffer* buffer_;
    const Babl* format_;
    host::DocumentInfo info_;
    std::vector<unsigned char> strip_;
    uint32_t stripTop_ = 0;
    uint32_t stripRows_ = 0; // rows now in the strip
};

} // namespace gimpbridge

#endif

#include "GimpDocument.h"

#include <algorithm>
#include <stdexcept>

namespace gimpbridge {
namespace {

constexpr size_t kStripBytes = 1 << 20;

} // namespace

GimpDocument::GimpDocument(GeglBuffer* buffer, const DocumentFormat& format, std::string name)
    : buffer_(static_cast<GeglBuffer*>(g_object_ref(buffer))),
      format_(babl_format_with_space(format.babl.c_str(), gegl_buffer_get_format(buffer))) {
    const GeglRectangle* extent = gegl_buffer_get_extent(buffer_);
    info_.name = std::move(name);
    info_.width = static_cast<uint32_t>(std::max(extent->width, 0));
    info_.height = static_cast<uint32_t>(std::max(extent->height, 0));
    info_.color = format.color;
    info_.sample = format.sample;
    info_.channels = format.channels;
}

GimpDocument::~GimpDocument() {
    g_object_unref(buffer_);
}

uint32_t GimpDocument::StripRows(size_t rowBytes, uint32_t height) {
    const size_t rows = rowBytes == 0 ? height : kStripBytes / rowBytes;
    return static_cast<uint32_t>(std::clamp<size_t>(rows, 1, std::max<uint32_t>(height, 1)));
}

const void* GimpDocument::Row(uint32_t y) {
    if (y >= info_.height) {
        throw std::runtime_error("row " + std::to_string(y) + " is outside the image");
    }
    const size_t rowBytes = info_.RowBytes();
    if (y < stripTop_ || y >= stripTop_ + stripRows_) {
        stripTop_ = y;
        stripRows_ = std::min(StripRows(rowBytes, info_.height), info_.height - y);
        strip_.resize(rowBytes * stripRows_);
        const GeglRectangle* extent = gegl_buffer_get_extent(buffer_);
        const GeglRectangle rows{extent->x, extent->y + static_cast<gint>(y), extent->width,
                                 static_cast<gint>(stripRows_)};
        gegl_buffer_get(buffer_, &rows, 1.0, format_, strip_.data(), static_cast<gint>(rowBytes),
                        GEGL_ABYSS_NONE);
    }
    return strip_.data() + size_t(y - stripTop_) * rowBytes;
}

} // namespace gimpbridge

// What the user sees of an image, as a layer of its own that the user's image never holds: no step in its
// undo history, nothing to flatten, and gone again when this object is. An image that is one plain opaque
// layer is read from that layer, untouched.
#ifndef QUENFIELD_GIMP_VISIBLEIMAGE_H
#define QUENFIELD_GIMP_VISIBLEIMAGE_H

#include <libgimp/gimp.h>

namespace gimpbridge {

class VisibleImage {
public:
    // Throws std::runtime_error when GIMP cannot make the layer.
    explicit VisibleImage(gint32 image);
    ~VisibleImage(); // lets go of the buffer and deletes the layer made for it
    VisibleImage(const VisibleImage&) = delete;
    VisibleImage& operator=(const VisibleImage&) = delete;

    GeglBuffer* Buffer() const { return buffer_; }
    // Whether the composite can hold transparent pixels. GIMP's composite always carries alpha; it is handed
    // over only where a pixel may use it.
    bool MayBeTransparent() const { return mayBeTransparent_; }

private:
    gint32 layer_ = -1;
    GeglBuffer* buffer_ = nullptr;
    bool mayBeTransparent_ = true;
    bool copy_ = false; // whether layer_ was made for this object
};

} // namespace gimpbridge

#endif

#include "VisibleImage.h"

#include <stdexcept>
#include <vector>

namespace gimpbridge {
namespace {

std::vector<gint32> VisibleLayers(gint32 image) {
    gint count = 0;
    gint32* layers = gimp_image_get_layers(image, &count);
    std::vector<gint32> visible;
    for (gint i = 0; i < count; ++i) {
        if (gimp_item_get_visible(layers[i])) {
            visible.push_back(layers[i]);
        }
    }
    g_free(layers);
    return visible;
}

// Modes that take away what is below them, and composites that cut the result to the layer's own area.
bool KeepsBackdropOpaque(gint32 layer) {
    const GimpLayerMode mode = gimp_layer_get_mode(layer);
    const GimpLayerCompositeMode composite = gimp_layer_get_composite_mode(layer);
    return mode != GIMP_LAYER_MODE_ERASE && mode != GIMP_LAYER_MODE_SPLIT && mode != GIMP_LAYER_MODE_MERGE &&
           (composite == GIMP_LAYER_COMPOSITE_AUTO || composite == GIMP_LAYER_COMPOSITE_UNION);
}

// Opaque when the lowest visible layer is an opaque one covering the canvas at full opacity, and nothing
// above it can take that away. Anything else (a single layer with alpha, a smaller layer, a group) may show
// the transparent canvas.
bool CompositeMayBeTransparent(gint32 image) {
    const std::vector<gint32> layers = VisibleLayers(image);
    if (layers.empty()) {
        return true;
    }
    const gint32 bottom = layers.back();
    gint x = 0;
    gint y = 0;
    gimp_drawable_offsets(bottom, &x, &y);
    const bool covers = x <= 0 && y <= 0 && x + gimp_drawable_width(bottom) >= gimp_image_width(image) &&
                        y + gimp_drawable_height(bottom) >= gimp_image_height(image);
    if (!covers || gimp_drawable_has_alpha(bottom) || gimp_layer_get_mask(bottom) != -1 ||
        gimp_layer_get_opacity(bottom) < 100.0) {
        return true;
    }
    for (gint32 layer : layers) {
        if (!KeepsBackdropOpaque(layer)) {
            return true;
        }
    }
    return false;
}

// The layer that is the composite as it stands: the only visible one, an opaque normal layer that covers the
// canvas exactly at full opacity, without a mask or a floating selection above it. -1 when there is none.
gint32 SoleOpaqueLayer(gint32 image) {
    const std::vector<gint32> layers = VisibleLayers(image);
    if (layers.size() != 1 || gimp_image_get_floating_sel(image) != -1) {
        return -1;
    }
    const gint32 layer = layers.front();
    gint x = 0;
    gint y = 0;
    gimp_drawable_offsets(layer, &x, &y);
    const GimpLayerMode mode = gimp_layer_get_mode(layer);
    const bool exact = x == 0 && y == 0 && gimp_drawable_width(layer) == gimp_image_width(image) &&
                       gimp_drawable_height(layer) == gimp_image_height(image);
    const bool plain = (mode == GIMP_LAYER_MODE_NORMAL || mode == GIMP_LAYER_MODE_NORMAL_LEGACY) &&
                       !gimp_item_is_group(layer) && !gimp_drawable_has_alpha(layer) &&
                       gimp_layer_get_mask(layer) == -1 && gimp_layer_get_opacity(layer) >= 100.0;
    return exact && plain ? layer : -1;
}

} // namespace

VisibleImage::VisibleImage(gint32 image) : mayBeTransparent_(CompositeMayBeTransparent(image)) {
    // GIMP ends a plug-in whose progress is cancelled without a word, and a copy made for it would then stay
    // in GIMP's memory until GIMP quits; an image that is one plain layer is read as it is.
    layer_ = SoleOpaqueLayer(image);
    if (layer_ != -1) {
        buffer_ = gimp_drawable_get_buffer(layer_);
        if (buffer_ == nullptr) {
            throw std::runtime_error("GIMP could not hand over the pixels of the image");
        }
        return;
    }
    copy_ = true;
    layer_ = gimp_layer_new_from_visible(image, image, "Quenfield export");
    if (layer_ == -1) {
        throw std::runtime_error("GIMP could not make a copy of what is visible in the image");
    }
    buffer_ = gimp_drawable_get_buffer(layer_);
    if (buffer_ == nullptr) {
        gimp_item_delete(layer_);
        throw std::runtime_error("GIMP could not hand over the pixels of the image");
    }
}

VisibleImage::~VisibleImage() {
    g_object_unref(buffer_);
    if (copy_) {
        gimp_item_delete(layer_);
    }
}

} // namespace gimpbridge

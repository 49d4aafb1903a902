// A dialog painted with cairo in window coordinates: white paper in a one-pixel frame, the grey title bar
// with the title, the caution sign of alerts, texts wrapped in their items, buttons with rounded outlines and
// the default button's heavy second outline.
#ifndef QUENFIELD_PLATFORM_LINUX_DIALOGPAINTER_H
#define QUENFIELD_PLATFORM_LINUX_DIALOGPAINTER_H

#include "platform/Display.h"
#include "platform/linux/X11Library.h"

#include <string>
#include <vector>

class CDialogPainter {
public:
    explicit CDialogPainter(const SX11Library& library) : x(library) {}
    // frame: how far the window reaches beyond the content on each side, the title bar included at the top.
    void Paint(cairo_t* cr, const SDialogView& view, const Rect& frame);

private:
    void Line(cairo_t* cr, double x0, double y0, double x1, double y1);
    void RoundedRect(cairo_t* cr, double left, double top, double width, double height, double radius);
    // Text centred in a box, its baseline placed by the ink of the text.
    void Centred(cairo_t* cr, const std::string& text, double left, double right, double top, double bottom);
    // The button's rounded outline; the default button has a second, heavy outline around it.
    void Button(cairo_t* cr, const SItemView& item, double left, double top, double width, double height);
    void Text(cairo_t* cr, const std::string& text, double left, double top, double width, double height);
    // Lines of at most width pixels, broken at spaces; line breaks end a line.
    std::vector<std::string> Wrap(cairo_t* cr, const std::string& text, double width);
    void CautionSign(cairo_t* cr, double left, double top);

    const SX11Library& x;
};

#endif

#include "platform/linux/DialogPainter.h"

#include "platform/linux/DialogLayout.h"
#include "platform/linux/WordWrap.h"

namespace {

// The resources lay texts out in lines of 16 pixels.
const int iLINE_HEIGHT = 16;
const double fFONT_SIZE = 12;
const char pcFONT[] = "sans-serif";

} // namespace

void CDialogPainter::Paint(cairo_t* cr, const SDialogView& view, const Rect& frame) {
    const double width = view.rcBounds.right - view.rcBounds.left + frame.left + frame.right;
    const double height = view.rcBounds.bottom - view.rcBounds.top + frame.top + frame.bottom;
    x.cairo_set_source_rgb(cr, 1, 1, 1);
    x.cairo_paint(cr);
    x.cairo_set_line_width(cr, 1);
    // The title bar: grey, its title centred, a line below it.
    x.cairo_set_source_rgb(cr, 0.86, 0.86, 0.86);
    x.cairo_rectangle(cr, 1, 1, width - 2, iTITLE_BAR_HEIGHT);
    x.cairo_fill(cr);
    x.cairo_set_source_rgb(cr, 0, 0, 0);
    Line(cr, 1, iTITLE_BAR_HEIGHT + 0.5, width - 1, iTITLE_BAR_HEIGHT + 0.5);
    x.cairo_select_font_face(cr, pcFONT, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    x.cairo_set_font_size(cr, fFONT_SIZE);
    Centred(cr, ToUtf8(view.strTitle), 1, width - 1, 1, iTITLE_BAR_HEIGHT);
    x.cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
    x.cairo_stroke(cr);
    x.cairo_select_font_face(cr, pcFONT, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    if (view.bCaution) {
        CautionSign(cr, frame.left + 16, frame.top + 16);
    }
    for (const SItemView& item : view.aItems) {
        const Rect& r = item.rcBounds;
        const double left = r.left - view.rcBounds.left + frame.left;
        const double top = r.top - view.rcBounds.top + frame.top;
        if (item.eKind == eITEM_BUTTON) {
            Button(cr, item, left, top, r.right - r.left, r.bottom - r.top);
        } else {
            Text(cr, ToUtf8(item.strText), left, top, r.right - r.left, r.bottom - r.top);
        }
    }
}

void CDialogPainter::Line(cairo_t* cr, double x0, double y0, double x1, double y1) {
    x.cairo_move_to(cr, x0, y0);
    x.cairo_line_to(cr, x1, y1);
    x.cairo_stroke(cr);
}

void CDialogPainter::RoundedRect(cairo_t* cr, double left, double top, double width, double height,
                                 double radius) {
    const double pi = 3.14159265358979;
    x.cairo_new_sub_path(cr);
    x.cairo_arc(cr, left + width - radius, top + radius, radius, -pi / 2, 0);
    x.cairo_arc(cr, left + width - radius, top + height - radius, radius, 0, pi / 2);
    x.cairo_arc(cr, left + radius, top + height - radius, radius, pi / 2, pi);
    x.cairo_arc(cr, left + radius, top + radius, radius, pi, 3 * pi / 2);
    x.cairo_close_path(cr);
}

void CDialogPainter::Centred(cairo_t* cr, const std::string& text, double left, double right, double top,
                             double bottom) {
    cairo_text_extents_t extents{};
    x.cairo_text_extents(cr, text.c_str(), &extents);
    x.cairo_move_to(cr, (left + right - extents.x_advance) / 2,
                    (top + bottom) / 2 - extents.y_bearing - extents.height / 2);
    x.cairo_show_text(cr, text.c_str());
}

void CDialogPainter::Button(cairo_t* cr, const SItemView& item, double left, double top, double width,
                            double height) {
    RoundedRect(cr, left + 0.5, top + 0.5, width - 1, height - 1, 4);
    x.cairo_stroke(cr);
    if (item.bDefault) {
        x.cairo_set_line_width(cr, 3);
        RoundedRect(cr, left - 2.5, top - 2.5, width + 5, height + 5, 7);
        x.cairo_stroke(cr);
        x.cairo_set_line_width(cr, 1);
    }
    Centred(cr, ToUtf8(item.strText), left, left + width, top, top + height);
}

void CDialogPainter::Text(cairo_t* cr, const std::string& text, double left, double top, double width,
                          double height) {
    x.cairo_save(cr);
    x.cairo_rectangle(cr, left, top, width, height);
    x.cairo_clip(cr);
    double baseline = top + iLINE_HEIGHT - 4;
    for (const std::string& line : Wrap(cr, text, width)) {
        x.cairo_move_to(cr, left, baseline);
        x.cairo_show_text(cr, line.c_str());
        baseline += iLINE_HEIGHT;
    }
    x.cairo_restore(cr);
}

std::vector<std::string> CDialogPainter::Wrap(cairo_t* cr, const std::string& text, double width) {
    return WrapWords(text, [&](const std::string& line) {
        cairo_text_extents_t extents{};
        x.cairo_text_extents(cr, line.c_str(), &extents);
        return extents.x_advance <= width;
    });
}

void CDialogPainter::CautionSign(cairo_t* cr, double left, double top) {
    x.cairo_move_to(cr, left + 16, top + 1);
    x.cairo_line_to(cr, left + 31, top + 29);
    x.cairo_line_to(cr, left + 1, top + 29);
    x.cairo_close_path(cr);
    x.cairo_set_source_rgb(cr, 1, 0.8, 0);
    x.cairo_fill(cr);
    x.cairo_set_source_rgb(cr, 0, 0, 0);
    x.cairo_move_to(cr, left + 16, top + 1);
    x.cairo_line_to(cr, left + 31, top + 29);
    x.cairo_line_to(cr, left + 1, top + 29);
    x.cairo_close_path(cr);
    x.cairo_stroke(cr);
    x.cairo_select_font_face(cr, pcFONT, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    x.cairo_set_font_size(cr, 18);
    Centred(cr, "!", left, left + 32, top + 10, top + 28);
    x.cairo_set_font_size(cr, fFONT_SIZE);
    x.cairo_select_font_face(cr, pcFONT, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

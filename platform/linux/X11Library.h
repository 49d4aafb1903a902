// Xlib and cairo, reached through dlopen: a host that never shows a window never loads them, and a machine
// without them still exports. The headers give only the types; the module links neither library.
#ifndef QUENFIELD_PLATFORM_LINUX_X11LIBRARY_H
#define QUENFIELD_PLATFORM_LINUX_X11LIBRARY_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo/cairo-xlib.h>

#define QUENFIELD_X11_FUNCTIONS(F)                                                                           \
    F(XOpenDisplay)                                                                                          \
    F(XCloseDisplay)                                                                                         \
    F(XCreateSimpleWindow)                                                                                   \
    F(XDestroyWindow)                                                                                        \
    F(XMapRaised)                                                                                            \
    F(XMoveResizeWindow)                                                                                     \
    F(XSelectInput)                                                                                          \
    F(XInternAtom)                                                                                           \
    F(XChangeProperty)                                                                                       \
    F(XSetWMProtocols)                                                                                       \
    F(XSetWMNormalHints)                                                                                     \
    F(XSetClassHint)                                                                                         \
    F(XStoreName)                                                                                            \
    F(XSetInputFocus)                                                                                        \
    F(XPending)                                                                                              \
    F(XNextEvent)                                                                                            \
    F(XFlush)                                                                                                \
    F(XSync)                                                                                                 \
    F(XLookupString)                                                                                         \
    F(XSetErrorHandler)

#define QUENFIELD_CAIRO_FUNCTIONS(F)                                                                         \
    F(cairo_xlib_surface_create)                                                                             \
    F(cairo_xlib_surface_set_size)                                                                           \
    F(cairo_surface_flush)                                                                                   \
    F(cairo_surface_destroy)                                                                                 \
    F(cairo_create)                                                                                          \
    F(cairo_destroy)                                                                                         \
    F(cairo_save)                                                                                            \
    F(cairo_restore)                                                                                         \
    F(cairo_set_source_rgb)                                                                                  \
    F(cairo_set_line_width)                                                                                  \
    F(cairo_paint)                                                                                           \
    F(cairo_rectangle)                                                                                       \
    F(cairo_new_path)                                                                                        \
    F(cairo_new_sub_path)                                                                                    \
    F(cairo_move_to)                                                                                         \
    F(cairo_line_to)                                                                                         \
    F(cairo_arc)                                                                                             \
    F(cairo_close_path)                                                                                      \
    F(cairo_fill)                                                                                            \
    F(cairo_stroke)                                                                                          \
    F(cairo_clip)                                                                                            \
    F(cairo_select_font_face)                                                                                \
    F(cairo_set_font_size)                                                                                   \
    F(cairo_text_extents)                                                                                    \
    F(cairo_show_text)

#define QUENFIELD_DECLARE_FUNCTION(name) decltype(&::name) name;

struct SX11Library {
    QUENFIELD_X11_FUNCTIONS(QUENFIELD_DECLARE_FUNCTION)
    QUENFIELD_CAIRO_FUNCTIONS(QUENFIELD_DECLARE_FUNCTION)
};

#undef QUENFIELD_DECLARE_FUNCTION

// The libraries, loaded on the first call and kept loaded (a GTK host has them loaded already and shares
// its copies); null when either library or one of its functions is missing.
const SX11Library* LoadX11Library();

#endif

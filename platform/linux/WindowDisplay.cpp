// Dialogs as windows on an X display, drawn with cairo: the frame, the title bar the dialog is dragged by,
// the texts and the buttons, at the position the dialog's bounds give on the screen. The window manager is
// asked for an undecorated, modal dialog window that stays above, since the title bar is the dialog's own.
#include "platform/linux/WindowDisplay.h"

#include "platform/linux/DialogLayout.h"
#include "platform/linux/DialogPainter.h"
#include "platform/linux/Display.h"
#include "platform/linux/X11Library.h"

#include <X11/keysym.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <poll.h>

namespace {

const int iNULL_EVENT_MS = 100;
// A one-pixel border around the content, and the title bar above it.
const Rect rcFRAME = {iTITLE_BAR_HEIGHT + 1, 1, 1, 1};

// Xlib's error handler belongs to the whole process. While a window is up, errors on its own connection
// (such as a focus request that a window manager overtook) are ignored; others go to the handler before.
Display* pOwnDisplay = nullptr;
XErrorHandler fpPreviousHandler = nullptr;

int CB_XError(Display* display, XErrorEvent* error) {
    if (display == pOwnDisplay || fpPreviousHandler == nullptr) {
        return 0;
    }
    return fpPreviousHandler(display, error);
}

// The window around a content: content plus frame, in screen pixels.
struct SOuter {
    int iX, iY, iWidth, iHeight;
};

SOuter OuterOf(const Rect& content) {
    return SOuter{content.left - rcFRAME.left, content.top - rcFRAME.top,
                  std::max(content.right - content.left + rcFRAME.left + rcFRAME.right, 1),
                  std::max(content.bottom - content.top + rcFRAME.top + rcFRAME.bottom, 1)};
}

class CWindowDisplay final : public IDisplay {
public:
    CWindowDisplay(const SX11Library& library, Display* display) : x(library), pDisplay(display) {
        pOwnDisplay = display;
        fpPreviousHandler = x.XSetErrorHandler(CB_XError);
    }

    ~CWindowDisplay() override {
        if (pSurface != nullptr) {
            x.cairo_surface_destroy(pSurface);
        }
        if (uiWindow != 0) {
            x.XDestroyWindow(pDisplay, uiWindow);
        }
        x.XSync(pDisplay, False);
        x.XCloseDisplay(pDisplay);
        x.XSetErrorHandler(fpPreviousHandler);
        pOwnDisplay = nullptr;
    }

    CWindowDisplay(const CWindowDisplay&) = delete;
    CWindowDisplay& operator=(const CWindowDisplay&) = delete;

    Rect ScreenBounds() override {
        const int screen = DefaultScreen(pDisplay);
        return Rect{0, 0, I16(DisplayHeight(pDisplay, screen)), I16(DisplayWidth(pDisplay, screen))};
    }

    void Show(const SDialogView& view) override {
        rView = view;
        const SDialogView fitted = FitView(view, Point{0, 0}, ScreenBounds(), rcFRAME);
        const SOuter outer = OuterOf(fitted.rcBounds);
        if (uiWindow == 0) {
            rFitted = fitted;
            Create(outer);
            return;
        }
        const SOuter before = OuterOf(rFitted.rcBounds);
        const bool redraw = !SameLook(fitted, rFitted);
        rFitted = fitted;
        if (outer.iX != before.iX || outer.iY != before.iY || outer.iWidth != before.iWidth ||
            outer.iHeight != before.iHeight) {
            x.XMoveResizeWindow(pDisplay, uiWindow, outer.iX, outer.iY, static_cast<unsigned>(outer.iWidth),
                                static_cast<unsigned>(outer.iHeight));
            x.cairo_xlib_surface_set_size(pSurface, outer.iWidth, outer.iHeight);
        }
        if (redraw) {
            Draw();
        }
    }

    bool NextEvent(EventRecord& event) override {
        x.XFlush(pDisplay);
        if (x.XPending(pDisplay) == 0) {
            pollfd ready{ConnectionNumber(pDisplay), POLLIN, 0};
            const int count = poll(&ready, 1, iNULL_EVENT_MS);
            if ((count < 0 && errno != EINTR) || (count > 0 && (ready.revents & (POLLERR | POLLHUP)) != 0)) {
                return false;
            }
        }
        event = EventRecord{};
        event.what = nullEvent;
        while (x.XPending(pDisplay) > 0) {
            XEvent xevent;
            x.XNextEvent(pDisplay, &xevent);
            if (Translate(xevent, event)) {
                break;
            }
        }
        event.when = NowMs();
        if (event.what == nullEvent) {
            event.where = rMouse;
        }
        return true;
    }

private:
    Atom Intern(const char* name) { return x.XInternAtom(pDisplay, name, False); }

    void SetAtoms(const char* property, const char* type, const Atom* atoms, int count) {
        x.XChangeProperty(pDisplay, uiWindow, Intern(property), Intern(type), 32, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(atoms), count);
    }

    void Create(const SOuter& outer) {
        const int screen = DefaultScreen(pDisplay);
        uiWindow =
            x.XCreateSimpleWindow(pDisplay, RootWindow(pDisplay, screen), outer.iX, outer.iY,
                                  static_cast<unsigned>(outer.iWidth), static_cast<unsigned>(outer.iHeight),
                                  0, BlackPixel(pDisplay, screen), WhitePixel(pDisplay, screen));
        x.XSelectInput(pDisplay, uiWindow,
                       ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | Button1MotionMask |
                           StructureNotifyMask);
        const std::string title = ToUtf8(rFitted.strTitle);
        x.XStoreName(pDisplay, uiWindow, title.c_str());
        x.XChangeProperty(pDisplay, uiWindow, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8,
                          PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                          static_cast<int>(title.size()));
        char name[] = "quenfield-export";
        char className[] = "QuenfieldExport";
        XClassHint classHint{name, className};
        x.XSetClassHint(pDisplay, uiWindow, &classHint);
        // Placed where the dialog's bounds say, and of a fixed size.
        XSizeHints size{};
        size.flags = USPosition | PPosition | PMinSize | PMaxSize;
        size.x = outer.iX;
        size.y = outer.iY;
        size.min_width = size.max_width = outer.iWidth;
        size.min_height = size.max_height = outer.iHeight;
        x.XSetWMNormalHints(pDisplay, uiWindow, &size);
        uiDeleteWindow = Intern("WM_DELETE_WINDOW");
        x.XSetWMProtocols(pDisplay, uiWindow, &uiDeleteWindow, 1);
        const Atom type = Intern("_NET_WM_WINDOW_TYPE_DIALOG");
        SetAtoms("_NET_WM_WINDOW_TYPE", "ATOM", &type, 1);
        const Atom states[] = {Intern("_NET_WM_STATE_MODAL"), Intern("_NET_WM_STATE_ABOVE")};
        SetAtoms("_NET_WM_STATE", "ATOM", states, 2);
        // Flags: decorations given; decorations: none.
        const long motif[5] = {2, 0, 0, 0, 0};
        x.XChangeProperty(pDisplay, uiWindow, Intern("_MOTIF_WM_HINTS"), Intern("_MOTIF_WM_HINTS"), 32,
                          PropModeReplace, reinterpret_cast<const unsigned char*>(motif), 5);
        pSurface = x.cairo_xlib_surface_create(pDisplay, uiWindow, DefaultVisual(pDisplay, screen),
                                               outer.iWidth, outer.iHeight);
        x.XMapRaised(pDisplay, uiWindow);
    }

    // An X event as the dialog's event; false when it is none (it may still have been answered here).
    bool Translate(XEvent& xevent, EventRecord& event) {
        switch (xevent.type) {
        case Expose:
            if (xevent.xexpose.count == 0) {
                Draw();
            }
            return false;
        case MapNotify:
            x.XSetInputFocus(pDisplay, uiWindow, RevertToParent, CurrentTime);
            return false;
        case ClientMessage:
            // The window manager's close: as Escape, the cancel key.
            if (static_cast<Atom>(xevent.xclient.data.l[0]) != uiDeleteWindow) {
                return false;
            }
            event.what = keyDown;
            event.message = kEscapeCharCode;
            event.where = rMouse;
            return true;
        case KeyPress:
            return TranslateKey(xevent.xkey, event);
        case MotionNotify:
            rMouse = Where(xevent.xmotion.x_root, xevent.xmotion.y_root);
            return false;
        case ButtonPress:
        case ButtonRelease:
            if (xevent.xbutton.button != Button1) {
                return false;
            }
            if (xevent.type == ButtonPress) {
                // A window manager may have placed the window elsewhere than asked (a panel, a policy of its
                // own): points are taken relative to where the window really is, until the button is up.
                const SOuter asked = OuterOf(rFitted.rcBounds);
                iPlacedX = xevent.xbutton.x_root - xevent.xbutton.x - asked.iX;
                iPlacedY = xevent.xbutton.y_root - xevent.xbutton.y - asked.iY;
            }
            rMouse = Where(xevent.xbutton.x_root, xevent.xbutton.y_root);
            event.what = xevent.type == ButtonPress ? mouseDown : mouseUp;
            event.where = rMouse;
            return true;
        default:
            return false;
        }
    }

    bool TranslateKey(XKeyEvent& key, EventRecord& event) {
        char text[8] = {};
        KeySym symbol = NoSymbol;
        const int length = x.XLookupString(&key, text, sizeof text, &symbol, nullptr);
        unsigned char code = 0;
        if (symbol == XK_Return) {
            code = kReturnCharCode;
        } else if (symbol == XK_KP_Enter) {
            code = kEnterCharCode;
        } else if (symbol == XK_Escape) {
            code = kEscapeCharCode;
        } else if (length == 1) {
            code = static_cast<unsigned char>(text[0]);
        } else {
            return false;
        }
        event.what = keyDown;
        event.message = code | (static_cast<uintptr_t>(key.keycode & 0xFF) << 8);
        event.where = rMouse;
        return true;
    }

    // A screen point as the dialog sees it.
    Point Where(int rootX, int rootY) const {
        return UnfitPoint(rView, rFitted, Point{I16(rootY - iPlacedY), I16(rootX - iPlacedX)});
    }

    void Draw() {
        cairo_t* cr = x.cairo_create(pSurface);
        CDialogPainter(x).Paint(cr, rFitted, rcFRAME);
        x.cairo_destroy(cr);
        x.cairo_surface_flush(pSurface);
        x.XFlush(pDisplay);
    }

    const SX11Library& x;
    Display* pDisplay;
    Window uiWindow = 0;
    cairo_surface_t* pSurface = nullptr;
    Atom uiDeleteWindow = 0;
    SDialogView rView{};
    SDialogView rFitted{};
    Point rMouse{0, 0};
    int iPlacedX = 0; // how far the window stands from where it was asked to be
    int iPlacedY = 0;
};

// The X display named by DISPLAY, or null. A local connection is tried a few times: some sandboxes
// hang up on a fresh local connection now and then, and a missing local server fails at once anyway.
Display* OpenXDisplay(const SX11Library*& library) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0' || (library = LoadX11Library()) == nullptr) {
        return nullptr;
    }
    const int attempts = name[0] == ':' ? 3 : 1;
    Display* display = nullptr;
    for (int i = 0; i < attempts && display == nullptr; ++i) {
        display = library->XOpenDisplay(nullptr);
    }
    return display;
}

} // namespace

std::unique_ptr<IDisplay> OpenWindowDisplay() {
    const SX11Library* library = nullptr;
    Display* display = OpenXDisplay(library);
    if (display == nullptr) {
        return nullptr;
    }
    return std::make_unique<CWindowDisplay>(*library, display);
}

bool WindowScreenBounds(Rect& screen) {
    const SX11Library* library = nullptr;
    Display* display = OpenXDisplay(library);
    if (display == nullptr) {
        return false;
    }
    const int number = DefaultScreen(display);
    screen = Rect{0, 0, I16(DisplayHeight(display, number)), I16(DisplayWidth(display, number))};
    library->XCloseDisplay(display);
    return true;
}

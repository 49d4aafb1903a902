// Dialogs, alerts, windows and ports. Only dialogs are windows here; the list holds them front to back,
// the frontmost last. The host's own windows are not ours and appear only in the events they receive.
#include "platform/Dialogs.h"
#include "platform/linux/Dialogs.h"

#include "platform/Error.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "platform/linux/DialogLayout.h"
#include "platform/linux/Display.h"
#include "platform/linux/Resources.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

// Ports carry no drawing state here: only the front dialog is drawn, by its display.
struct SPortRecord {};

struct SWindowRecord {
    SPortRecord port;
    Rect rcBounds; // content, global
    Str255 aTitle;
    SRefCon pRefCon;
};

struct SDialogRecord {
    SWindowRecord window;
    SItemList items;
    int16_t sDefaultItem;
    int16_t sCancelItem;
    bool bCaution;
    // Where the dialog is shown, opened by its first ModalDialog and closed with the dialog, so that a
    // dialog run several times stays one window (one screen) on the user's display.
    std::unique_ptr<IDisplay> pDisplay;
};

namespace {

std::vector<DialogRef>& Windows() {
    static std::vector<DialogRef> windows;
    return windows;
}

SPortRecord rScreenPort;
GrafPtr pCurrentPort = &rScreenPort;
Str255 aParamTexts[4];
IDisplay* pModalDisplay = nullptr; // the display of the running ModalDialog

// Makes pModalDisplay the running dialog's display for as long as it runs.
class CModalScope {
public:
    explicit CModalScope(IDisplay* display) : pSaved(pModalDisplay) { pModalDisplay = display; }
    ~CModalScope() { pModalDisplay = pSaved; }
    CModalScope(const CModalScope&) = delete;
    CModalScope& operator=(const CModalScope&) = delete;

private:
    IDisplay* pSaved;
};

// Disposes of a dialog however the scope is left.
class CDialogOwner {
public:
    explicit CDialogOwner(DialogRef dialog) : pDialog(dialog) {}
    ~CDialogOwner() { DisposeDialog(pDialog); }
    CDialogOwner(const CDialogOwner&) = delete;
    CDialogOwner& operator=(const CDialogOwner&) = delete;

private:
    DialogRef pDialog;
};

std::string ToString(ConstStr255Param text) {
    return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

Rect TitleBar(const Rect& content) {
    return Rect{static_cast<int16_t>(content.top - iTITLE_BAR_HEIGHT), content.left, content.top,
                content.right};
}

Rect GlobalItemBounds(DialogRef dialog, const SDialogItem& item) {
    Rect bounds = item.rcBounds;
    OffsetRect(&bounds, dialog->window.rcBounds.left, dialog->window.rcBounds.top);
    return bounds;
}

// "^0" to "^3" become the texts last given to ParamText.
std::string ReplaceParams(ConstStr255Param text) {
    std::string result;
    for (int i = 1; i <= text[0]; ++i) {
        if (text[i] == '^' && i < text[0] && text[i + 1] >= '0' && text[i + 1] <= '3') {
            result += ToString(aParamTexts[text[i + 1] - '0']);
            ++i;
        } else {
            result += static_cast<char>(text[i]);
        }
    }
    return result;
}

DialogRef NewDialogRecord(const DialogTemplate& dlgTemplate) {
    auto dialog = std::make_unique<SDialogRecord>();
    dialog->window.rcBounds = dlgTemplate.boundsRect;
    std::memcpy(dialog->window.aTitle, dlgTemplate.title, sizeof(Str255));
    if (const void* items = PeekResource(uiRESOURCE_ITEMS, dlgTemplate.itemsID, sizeof(SItemList))) {
        std::memcpy(&dialog->items, items, sizeof(SItemList));
        dialog->items.sCount = std::clamp<int16_t>(dialog->items.sCount, 0, iMAX_DIALOG_ITEMS);
    }
    Windows().push_back(dialog.get());
    return dialog.release();
}

// The enabled item of the dialog at a global point, 0 for none.
int16_t ItemAt(DialogRef dialog, Point where) {
    WindowRef window = nullptr;
    if (FindWindow(where, &window) != inContent || window != &dialog->window) {
        return 0;
    }
    for (int16_t i = 0; i < dialog->items.sCount; ++i) {
        const SDialogItem& item = dialog->items.aItems[i];
        if (item.bEnabled && PointInRect(where, GlobalItemBounds(dialog, item))) {
            return static_cast<int16_t>(i + 1);
        }
    }
    return 0;
}

DialogRef DialogOf(WindowRef window) {
    for (DialogRef dialog : Windows()) {
        if (&dialog->window == window) {
            return dialog;
        }
    }
    return nullptr;
}

Point ClampedPoint(Point point, const Rect& bounds) {
    return Point{std::clamp<int16_t>(point.v, bounds.top, static_cast<int16_t>(bounds.bottom - 1)),
                 std::clamp<int16_t>(point.h, bounds.left, static_cast<int16_t>(bounds.right - 1))};
}

} // namespace

IDisplay* ModalDisplay() {
    return pModalDisplay;
}

SDialogView DescribeDialog(DialogRef dialog) {
    _hlp::Require(dialog != nullptr);
    SDialogView view{ToString(dialog->window.aTitle), dialog->window.rcBounds, dialog->bCaution, {}};
    for (int16_t i = 0; i < dialog->items.sCount; ++i) {
        const SDialogItem& item = dialog->items.aItems[i];
        const bool isText = item.eKind == eITEM_TEXT;
        view.aItems.push_back({item.eKind, GlobalItemBounds(dialog, item),
                               isText ? ReplaceParams(item.aText) : ToString(item.aText),
                               i + 1 == dialog->sDefaultItem});
    }
    return view;
}

unsigned int CountDialogs() {
    return static_cast<unsigned int>(Windows().size());
}

DialogRef GetNewDialog(int16_t id, void*, WindowRef) {
    const void* dlgTemplate = PeekResource(uiRESOURCE_DIALOG, id, sizeof(DialogTemplate));
    return dlgTemplate == nullptr ? nullptr
                                  : NewDialogRecord(*static_cast<const DialogTemplate*>(dlgTemplate));
}

void DisposeDialog(DialogRef dialog) {
    std::vector<DialogRef>& windows = Windows();
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (*it == dialog) {
            windows.erase(it);
            if (pCurrentPort == &dialog->window.port) {
                pCurrentPort = &rScreenPort;
            }
            delete dialog;
            return;
        }
    }
}

void ParamText(ConstStr255Param text0, ConstStr255Param text1, ConstStr255Param text2,
               ConstStr255Param text3) {
    const ConstStr255Param texts[] = {text0, text1, text2, text3};
    for (int i = 0; i < 4; ++i) {
        aParamTexts[i][0] = 0;
        if (texts[i] != nullptr) {
            std::memcpy(aParamTexts[i], texts[i], texts[i][0] + 1u);
        }
    }
}

void SetDialogDefaultItem(DialogRef dialog, int16_t item) {
    _hlp::Require(dialog != nullptr);
    dialog->sDefaultItem = item;
}

void SetDialogCancelItem(DialogRef dialog, int16_t item) {
    _hlp::Require(dialog != nullptr);
    dialog->sCancelItem = item;
}

WindowRef GetDialogWindow(DialogRef dialog) {
    _hlp::Require(dialog != nullptr);
    return &dialog->window;
}

GrafPtr GetDialogPort(DialogRef dialog) {
    _hlp::Require(dialog != nullptr);
    return &dialog->window.port;
}

void ModalDialog(ModalFilterUPP filter, int16_t* itemHit) {
    _hlp::Require(itemHit != nullptr && !Windows().empty());
    DialogRef dialog = Windows().back();
    IDisplay* display = InstalledDisplay();
    if (display == nullptr) {
        if (dialog->pDisplay == nullptr) {
            dialog->pDisplay = OpenUserDisplay();
        }
        display = dialog->pDisplay.get();
    }
    CModalScope scope(display);
    for (;;) {
        display->Show(DescribeDialog(dialog));
        EventRecord event{};
        if (!display->NextEvent(event)) {
            *itemHit = 1;
            return;
        }
        const bool handled =
            filter != nullptr ? filter(dialog, &event, itemHit) : StdFilterProc(dialog, &event, itemHit);
        if (handled) {
            return;
        }
        if (event.what == mouseDown) {
            if (const int16_t item = ItemAt(dialog, event.where)) {
                *itemHit = item;
                return;
            }
        }
    }
}

bool StdFilterProc(DialogRef dialog, EventRecord* event, int16_t* itemHit) {
    _hlp::Require(dialog != nullptr && event != nullptr && itemHit != nullptr);
    if (event->what != keyDown) {
        return false;
    }
    const unsigned char key = static_cast<unsigned char>(event->message & 0xFF);
    int16_t item = 0;
    if (key == kReturnCharCode || key == kEnterCharCode) {
        item = dialog->sDefaultItem;
    } else if (key == kEscapeCharCode) {
        item = dialog->sCancelItem;
    }
    if (item <= 0) {
        return false;
    }
    *itemHit = item;
    return true;
}

int16_t CautionAlert(int16_t id, ModalFilterUPP filter) {
    const void* alertTemplate = PeekResource(uiRESOURCE_ALERT, id, sizeof(DialogTemplate));
    if (alertTemplate == nullptr) {
        return -1;
    }
    DialogRef alert = NewDialogRecord(*static_cast<const DialogTemplate*>(alertTemplate));
    CDialogOwner owner(alert);
    alert->sDefaultItem = 1;
    alert->sCancelItem = 1;
    alert->bCaution = true;
    int16_t item = -1;
    ModalDialog(filter, &item);
    return item;
}

ModalFilterUPP NewModalFilterUPP(ModalFilterProcPtr proc) {
    return proc;
}

void DisposeModalFilterUPP(ModalFilterUPP) {}

SRefCon GetWRefCon(WindowRef window) {
    _hlp::Require(window != nullptr);
    return window->pRefCon;
}

void SetWRefCon(WindowRef window, SRefCon refCon) {
    _hlp::Require(window != nullptr);
    window->pRefCon = refCon;
}

int16_t FindWindow(Point where, WindowRef* window) {
    _hlp::Require(window != nullptr);
    const std::vector<DialogRef>& windows = Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const Rect& content = (*it)->window.rcBounds;
        const int16_t part = PointInRect(where, TitleBar(content)) ? inDrag
                             : PointInRect(where, content)         ? inContent
                                                                   : inDesk;
        if (part != inDesk) {
            *window = &(*it)->window;
            return part;
        }
    }
    *window = nullptr;
    return inDesk;
}

void DragWindow(WindowRef window, Point start, const Rect* bounds) {
    _hlp::Require(window != nullptr && bounds != nullptr);
    IDisplay* display = pModalDisplay != nullptr ? pModalDisplay : InstalledDisplay();
    DialogRef dialog = DialogOf(window);
    Point end = start;
    EventRecord event{};
    while (display != nullptr && display->NextEvent(event)) {
        if (event.what == mouseUp) {
            end = event.where;
            break;
        }
        // Null events carry where the mouse is: the dialog is shown there while the button is held.
        if (event.what == nullEvent && dialog != nullptr) {
            const Point at = ClampedPoint(event.where, *bounds);
            const Rect saved = window->rcBounds;
            OffsetRect(&window->rcBounds, static_cast<int16_t>(at.h - start.h),
                       static_cast<int16_t>(at.v - start.v));
            display->Show(DescribeDialog(dialog));
            window->rcBounds = saved;
        }
    }
    end = ClampedPoint(end, *bounds);
    OffsetRect(&window->rcBounds, static_cast<int16_t>(end.h - start.h),
               static_cast<int16_t>(end.v - start.v));
}

void GetPort(GrafPtr* port) {
    _hlp::Require(port != nullptr);
    *port = pCurrentPort;
}

void SetPort(GrafPtr port) {
    _hlp::Require(port != nullptr);
    pCurrentPort = port;
}

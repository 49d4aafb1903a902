#include "AboutBox.h"

#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/Handles.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "sdk/DialogUtilities.h"
#include "sdk/HostSuites.h"

ModalFilterUPP fpFILTER_PROC = nullptr;

namespace {

// The dialog and the resources of one About box, given back however the box ends.
class CAboutResources {
public:
    CAboutResources()
        : pText(GetString(sSTRING_ABOUT)), pTemplate(GetResource(uiRESOURCE_DIALOG, sDIALOG_ABOUT)) {}
    ~CAboutResources() {
        DisposeDialog(pDialog);
        ReleaseResource(pText);
        if (pTemplate != nullptr) {
            HPurge(pTemplate);
            ReleaseResource(pTemplate);
        }
    }
    CAboutResources(const CAboutResources&) = delete;
    CAboutResources& operator=(const CAboutResources&) = delete;

    StringHandle pText;
    DialogTHndl pTemplate;
    DialogRef pDialog = nullptr;
};

// Gives the window's reference constant back however ModalDialog ends.
class CRefConScope {
public:
    CRefConScope(WindowRef window, SAboutDlgContext& context) : pWindow(window), rContext(context) {
        SetWRefCon(window, &context);
    }
    ~CRefConScope() { SetWRefCon(pWindow, rContext.pSavedRefCon); }
    CRefConScope(const CRefConScope&) = delete;
    CRefConScope& operator=(const CRefConScope&) = delete;

private:
    WindowRef pWindow;
    SAboutDlgContext& rContext;
};

// A host without the suite, or whose suite has no routine, still gets its About box; events are then
// simply not forwarded.
ProcessEventProc HostProcessEvent() {
    try {
        const UIHooksSuite1* hooks = rUIHooks.operator->();
        return hooks != nullptr ? hooks->processEvent : nullptr;
    } catch (uint32_t) {
        return nullptr;
    }
}

void DragAboutDlg(WindowRef window, EventRecord* event) {
    Rect bounds;
    GetRegionBounds(GetGrayRgn(), &bounds);
    InsetRect(&bounds, 4, 4);
    DragWindow(window, event->where, &bounds);
    event->what = nullEvent;
}

} // namespace

int16_t ShowAboutDlg(AboutRecord* about) {
    _hlp::Require(about != nullptr);
    CAboutResources resources;
    if (resources.pTemplate != nullptr) {
        HNoPurge(resources.pTemplate);
        CenterAboutDlg(resources.pTemplate);
    }
    resources.pDialog = GetNewDialog(sDIALOG_ABOUT, nullptr, pFRONT_OF_ALL_WINDOWS);
    if (resources.pDialog == nullptr) {
        return 0;
    }
    const Str255 empty = {0};
    ParamText(resources.pText != nullptr ? static_cast<const unsigned char*>(HandleAddress(resources.pText))
                                         : empty,
              nullptr, nullptr, nullptr);
    SetDialogDefaultItem(resources.pDialog, 1);
    SetDialogCancelItem(resources.pDialog, 1);
    const ProcessEventProc processEvent = HostProcessEvent();
    int16_t item = -1;
    do {
        item = -1;
        MoveableModalAboutDlg(resources.pDialog, processEvent, &item);
    } while (item != 1);
    return 0;
}

void MoveableModalAboutDlg(DialogRef dialog, ProcessEventProc processEvent, int16_t* itemHit) {
    if (dialog == nullptr || itemHit == nullptr) {
        return;
    }
    WindowRef window = GetDialogWindow(dialog);
    SAboutDlgContext context{GetWRefCon(window), nullptr, processEvent};
    CRefConScope refCon(window, context);
    fpFILTER_PROC = NewModalFilterUPP(CB_AboutDlgFilter);
    ModalDialog(fpFILTER_PROC, itemHit);
    DisposeModalFilterUPP(fpFILTER_PROC);
    fpFILTER_PROC = nullptr;
}

bool CB_AboutDlgFilter(DialogRef dialog, EventRecord* event, int16_t* itemHit) {
    if (dialog == nullptr || event == nullptr || itemHit == nullptr) {
        return false;
    }
    WindowRef window = GetDialogWindow(dialog);
    auto* context = static_cast<SAboutDlgContext*>(GetWRefCon(window));
    _hlp::Require(context != nullptr);
    if (context->fpNextFilter != nullptr) {
        SetWRefCon(window, context->pSavedRefCon);
        const bool handled = context->fpNextFilter(dialog, event, itemHit);
        context->pSavedRefCon = GetWRefCon(window);
        SetWRefCon(window, context);
        if (handled) {
            return true;
        }
    }
    switch (event->what) {
    case mouseDown: {
        WindowRef hit = nullptr;
        if (FindWindow(event->where, &hit) == inDrag && hit == window) {
            DragAboutDlg(window, event);
        }
        break;
    }
    case updateEvt:
    case activateEvt:
        if (context->fpProcessEvent != nullptr && event->message != reinterpret_cast<uintptr_t>(window)) {
            context->fpProcessEvent(event);
        }
        break;
    case nullEvent:
        if (context->fpProcessEvent != nullptr) {
            context->fpProcessEvent(event);
        }
        break;
    default:
        break;
    }
    GrafPtr savedPort = nullptr;
    GetPort(&savedPort);
    SetPort(GetDialogPort(dialog));
    const bool handled = StdFilterProc(dialog, event, itemHit);
    SetPort(savedPort);
    return handled;
}

void CenterAboutDlg(DialogTHndl dlgTemplate) {
    _hlp::Require(dlgTemplate != nullptr);
    CenterDialog(dlgTemplate);
}

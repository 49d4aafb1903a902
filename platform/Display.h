// Where modal dialogs are shown and where their events come from. The platform picks a window on the X
// display when there is one, else the user's terminal, else standard error; tests install a scripted
// display instead.
#ifndef QUENFIELD_PLATFORM_DISPLAY_H
#define QUENFIELD_PLATFORM_DISPLAY_H

#include "platform/Toolbox.h"

#include <string>
#include <vector>

// A dialog as it is to be drawn: global pixel geometry, placeholders already replaced.
struct SItemView {
    EItemKind eKind;
    Rect rcBounds;       // global
    std::string strText; // "^0" to "^3" replaced in static texts
    bool bDefault;       // the default item: drawn outlined
};

struct SDialogView {
    std::string strTitle;
    Rect rcBounds; // the content, global
    bool bCaution; // an alert with the caution sign
    std::vector<SItemView> aItems;
};

class IDisplay {
public:
    virtual ~IDisplay() = default;
    // The main screen in pixels, its top-left corner at (0, 0).
    virtual Rect ScreenBounds() = 0;
    // Draws the modal dialog; called before every event, so a display skips what it has drawn already.
    virtual void Show(const SDialogView& view) = 0;
    // The next event, a null event when nothing happened for about a tenth of a second; where is the mouse
    // as last seen, for every kind. false: nobody can answer (any more), the dialog must not wait.
    virtual bool NextEvent(EventRecord& event) = 0;
};

// For tests: route screen geometry and every modal dialog to display (not owned) instead of the user's;
// null routes back.
void InstallDisplay(IDisplay* display);

#endif

// The About box, shown for the About selector.
#ifndef QUENFIELD_ABOUTBOX_H
#define QUENFIELD_ABOUTBOX_H

#include "ExportInterface.h"
#include "platform/Toolbox.h"

#include <cstdint>

// The About box's dialog and its text.
constexpr int16_t sDIALOG_ABOUT = 16000;
constexpr int16_t sSTRING_ABOUT = 16000;

// The host's event routine: the first routine of its UI hooks suite.
typedef void (*ProcessEventProc)(EventRecord* event);

// The filter's context; the dialog window's reference constant points at it while ModalDialog runs.
struct SAboutDlgContext {
    SRefCon pSavedRefCon;            // the window's reference constant before, given back afterwards
    ModalFilterUPP fpNextFilter;     // consulted first when set; null in the About box
    ProcessEventProc fpProcessEvent; // null: the host's events are not forwarded
};

// The filter callback while ModalDialog runs.
extern ModalFilterUPP fpFILTER_PROC;

// Shows the About box modally until item 1 is chosen; 0 when it returns. The box runs also when the host
// offers no UI hooks, and without its text when the text resource is missing.
int16_t ShowAboutDlg(AboutRecord* about);

// One ModalDialog run with CB_AboutDlgFilter; the chosen item in *itemHit. Nothing without a dialog or
// itemHit; a null processEvent forwards nothing.
void MoveableModalAboutDlg(DialogRef dialog, ProcessEventProc processEvent, int16_t* itemHit);

// Drags the box by its own title bar (the click then becomes a null event), forwards null events and the
// update and activate events of other windows to the host, and leaves the keys to StdFilterProc.
bool CB_AboutDlgFilter(DialogRef dialog, EventRecord* event, int16_t* itemHit);

// Centres the loaded dialog template on the main screen.
void CenterAboutDlg(DialogTHndl dlgTemplate);

#endif

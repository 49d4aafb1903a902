// Dialogs and alerts, and the windows and ports they are. Only dialogs are windows here.
#ifndef QUENFIELD_PLATFORM_DIALOGS_H
#define QUENFIELD_PLATFORM_DIALOGS_H

#include "platform/Display.h"
#include "platform/Toolbox.h"

// The behind argument that puts a new window in front of all others.
inline WindowRef const pFRONT_OF_ALL_WINDOWS = reinterpret_cast<WindowRef>(-1);
// Creates the dialog from dialog template id and its item list, in front of all windows, storage always
// allocated here (storage must be null; behind is accepted for its place in the call only). Null when the
// template is missing.
DialogRef GetNewDialog(int16_t id, void* storage, WindowRef behind);
void DisposeDialog(DialogRef dialog);
// The texts that static text items show for "^0" to "^3"; null stands for an empty text.
void ParamText(ConstStr255Param text0, ConstStr255Param text1, ConstStr255Param text2,
               ConstStr255Param text3);
void SetDialogDefaultItem(DialogRef dialog, int16_t item);
void SetDialogCancelItem(DialogRef dialog, int16_t item);
WindowRef GetDialogWindow(DialogRef dialog);
GrafPtr GetDialogPort(DialogRef dialog);
// Runs the front dialog until an item is chosen: each event goes to filter (StdFilterProc when null) and,
// when the filter leaves it, a mouse-down on an enabled item chooses that item. Where nobody can answer
// (no window, no terminal), the text is shown and item 1 is chosen at once.
void ModalDialog(ModalFilterUPP filter, int16_t* itemHit);
// Return and Enter choose the default item, Escape the cancel item.
bool StdFilterProc(DialogRef dialog, EventRecord* event, int16_t* itemHit);
// Shows alert id with a caution sign, modally; items 1 is its default and cancel item. The item chosen, or
// -1 when the template is missing.
int16_t CautionAlert(int16_t id, ModalFilterUPP filter);
ModalFilterUPP NewModalFilterUPP(ModalFilterProcPtr proc);
void DisposeModalFilterUPP(ModalFilterUPP filter);

// --- Windows and ports. ---
SRefCon GetWRefCon(WindowRef window);
void SetWRefCon(WindowRef window, SRefCon refCon);
// The part of the frontmost window at a global point, and that window (null on the desktop).
int16_t FindWindow(Point where, WindowRef* window);
// Follows the mouse until it is released, the point kept inside bounds, and moves the window by as much.
void DragWindow(WindowRef window, Point start, const Rect* bounds);
void GetPort(GrafPtr* port);
void SetPort(GrafPtr port);

// What ModalDialog shows for dialog.
SDialogView DescribeDialog(DialogRef dialog);
// For tests: dialogs not yet disposed of.
unsigned int CountDialogs();

#endif

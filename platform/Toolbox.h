// The small part of a classic dialog toolbox that the About box and the version alert are written against:
// resources, dialogs and alerts, windows, events, ports and screen geometry. Coordinates are pixels with v
// growing downwards; texts are length-prefixed (byte 0 holds the count).
#ifndef QUENFIELD_PLATFORM_TOOLBOX_H
#define QUENFIELD_PLATFORM_TOOLBOX_H

#include "ExportInterface.h"

#include <cstdint>

typedef unsigned char Str255[256];
typedef unsigned char* StringPtr;
typedef const unsigned char* ConstStr255Param;

typedef uint32_t ResType;
typedef void* SRefCon;

// Resource handles are the platform's own handles (platform/Handles.h); HandleAddress gives the block.
typedef Handle StringHandle; // block: a Str255
typedef Handle DialogTHndl;  // block: a DialogTemplate

typedef struct SWindowRecord* WindowRef;
typedef struct SDialogRecord* DialogRef;
typedef struct SPortRecord* GrafPtr;
typedef struct SRegionRecord* RgnHandle;

struct GDevice {
    Rect gdRect; // the screen's bounds
};
typedef GDevice** GDHandle;

// A dialog or alert template. The bounds come first: centring rewrites them in the loaded template.
struct DialogTemplate {
    Rect boundsRect; // the window's content, global coordinates
    int16_t itemsID; // the item list with this id
    Str255 title;
};

enum EItemKind : int16_t { eITEM_BUTTON = 4, eITEM_TEXT = 8 };

struct SDialogItem {
    int16_t eKind; // EItemKind
    Boolean bEnabled;
    Rect rcBounds; // relative to the window's content
    Str255 aText;
};

enum { cMAX_DIALOG_ITEMS = 4 };

struct SItemList {
    int16_t sCount;
    SDialogItem aItems[cMAX_DIALOG_ITEMS];
};

constexpr ResType MakeResType(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}
constexpr ResType cRESOURCE_STRING = MakeResType("STR ");
constexpr ResType cRESOURCE_DIALOG = MakeResType("DLOG");
constexpr ResType cRESOURCE_ALERT = MakeResType("ALRT");
constexpr ResType cRESOURCE_ITEMS = MakeResType("DITL");

// Window parts reported by FindWindow.
enum { inDesk = 0, inContent = 3, inDrag = 4 };

// Character codes of the keys the standard filter answers.
enum { kEnterCharCode = 3, kReturnCharCode = 13, kEscapeCharCode = 27 };

// Height of the title bar above a window's content; a mouse-down there starts a drag.
enum { cTITLE_BAR_HEIGHT = 16 };

// true: the filter handled the event and ModalDialog returns *itemHit.
typedef bool (*ModalFilterProcPtr)(DialogRef dialog, EventRecord* event, int16_t* itemHit);
typedef ModalFilterProcPtr ModalFilterUPP;

// --- Resources. A resource is loaded once and shared until ReleaseResource; changes to the loaded block
// (such as centring a template) are what GetNewDialog and CautionAlert then use. ---
// Null when there is no such resource.
Handle GetResource(ResType type, int16_t id);
StringHandle GetString(int16_t id);
// Resources are never purged here, so there is nothing to protect; kept so that callers read as they must
// on a platform that purges.
void HNoPurge(Handle resource);
void HPurge(Handle resource);
// Unloads the resource; null is ignored.
void ReleaseResource(Handle resource);

// --- Dialogs. ---
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
// (no terminal), the text is shown and item 1 is chosen at once.
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

// --- Screen geometry and numbers. ---
GDHandle GetMainDevice();
// The desktop: the whole main screen.
RgnHandle GetGrayRgn();
void GetRegionBounds(RgnHandle region, Rect* bounds);
void OffsetRect(Rect* rect, int16_t dh, int16_t dv);
void InsetRect(Rect* rect, int16_t dh, int16_t dv);
// Decimal text; 64-bit so that every unsigned 32-bit count prints as it is.
void NumToString(int64_t number, StringPtr text);

#endif

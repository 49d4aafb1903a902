// The small part of a classic dialog toolbox that the About box and the version alert are written against:
// its types and constants. The routines are in platform/Resources.h, platform/Dialogs.h and
// platform/Screen.h. Coordinates are pixels with v growing downwards; texts are length-prefixed (byte 0 holds
// the count).
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
    EItemKind eKind;
    Boolean bEnabled;
    Rect rcBounds; // relative to the window's content
    Str255 aText;
};

enum { iMAX_DIALOG_ITEMS = 4 };

struct SItemList {
    int16_t sCount;
    SDialogItem aItems[iMAX_DIALOG_ITEMS];
};

constexpr ResType MakeResType(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}
constexpr ResType uiRESOURCE_STRING = MakeResType("STR ");
constexpr ResType uiRESOURCE_DIALOG = MakeResType("DLOG");
constexpr ResType uiRESOURCE_ALERT = MakeResType("ALRT");
constexpr ResType uiRESOURCE_ITEMS = MakeResType("DITL");

// Window parts reported by FindWindow.
enum { inDesk = 0, inContent = 3, inDrag = 4 };

// Character codes of the keys the standard filter answers.
enum { kEnterCharCode = 3, kReturnCharCode = 13, kEscapeCharCode = 27 };

// Height of the title bar above a window's content; a mouse-down there starts a drag.
enum { iTITLE_BAR_HEIGHT = 16 };

// true: the filter handled the event and ModalDialog returns *itemHit.
typedef bool (*ModalFilterProcPtr)(DialogRef dialog, EventRecord* event, int16_t* itemHit);
typedef ModalFilterProcPtr ModalFilterUPP;

#endif

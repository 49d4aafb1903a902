/*
 * ExportInterface.h - the contract between an image editor (the host) and an
 * export plug-in.
 *
 * This one C header is all a host author needs. It compiles as C11 and as
 * C++17. Everything here is plain data and function pointers; no routine of the
 * host or the plug-in may throw or unwind across this interface.
 *
 * The protocol, one export:
 *   1. The host loads the module and resolves PluginMain.
 *   2. exportSelectorPrepare: the host has filled the ExportRecord; the
 *      plug-in checks the document and settles maxData and the coordinate
 *      handshake.
 *   3. exportSelectorStart: the plug-in requests regions by writing theRect32,
 *      loPlane and hiPlane and calling advanceState, as often as it needs. When
 *      it returns with theRect32 empty (all four fields 0), it wants no more.
 *   4. exportSelectorContinue: only while the plug-in left theRect32 non-empty.
 *   5. exportSelectorFinish: always, after a Start that returned 0.
 * exportSelectorAbout may come at any time outside an export.
 *
 * Every call runs on the host's thread (which need not be the process's first
 * one): the host loads the module, calls it and unloads it from that thread
 * only, makes one call at a time and calls the plug-in's routines from nowhere
 * else.
 */
#ifndef QUENFIELD_EXPORT_INTERFACE_H
#define QUENFIELD_EXPORT_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------- */
/* Basic types                                                                */
/* ------------------------------------------------------------------------- */

/* 0 is false, any other value true. */
typedef unsigned char Boolean;

/* A point and a rectangle in 32-bit coordinates: v is the row, h the column. A
 * rectangle covers rows top..bottom-1 and columns left..right-1. */
typedef struct VPoint {
    int32_t v, h;
} VPoint;

typedef struct VRect {
    int32_t top, left, bottom, right;
} VRect;

/* The same in 16-bit coordinates, kept for hosts that predate 32-bit
 * coordinates. A plug-in that accepted the 32-bit handshake never reads them. */
typedef struct Point {
    int16_t v, h;
} Point;

typedef struct Rect {
    int16_t top, left, bottom, right;
} Rect;

/* A movable block of host memory. Opaque: only the host's HandleProcs may look
 * inside. Lock it to get the block's address; the address is valid only while
 * the handle stays locked. */
typedef struct ExportOpaqueHandle* Handle;

/* ------------------------------------------------------------------------- */
/* Result codes (int16, written by the plug-in into *result)                 */
/* ------------------------------------------------------------------------- */

enum {
    exportNoErr = 0,                       /* success */
    exportErrWriteFailed = -20,            /* writing the export file failed */
    exportErrOpenFailed = -23,             /* the export file cannot be opened */
    exportErrParam = -50,                  /* parameter error, see the selector */
    exportErrNoMemory = -108,              /* the plug-in's globals cannot be had */
    exportErrUserCanceled = -128,          /* abortProc answered true */
    exportErrMissingParameter = -1715,     /* a required pointer was missing */
    exportErrUnsupportedDocument = -30201, /* mode, depth or planes not supported */
    exportErrCompanionNotLaunched = -30901 /* a plug-in's companion did not start */
};
/* Any other non-zero code is one the host's own advanceState returned, passed
 * back unchanged. */

/* ------------------------------------------------------------------------- */
/* Selectors (first argument of PluginMain)                                   */
/* ------------------------------------------------------------------------- */

enum {
    exportSelectorAbout = 0,    /* pluginParamBlock is an AboutRecord */
    exportSelectorStart = 1,    /* pluginParamBlock is the ExportRecord */
    exportSelectorContinue = 2, /* likewise */
    exportSelectorFinish = 3,   /* likewise */
    exportSelectorPrepare = 4   /* likewise */
};

/* ------------------------------------------------------------------------- */
/* Image modes (ExportRecord.imageMode)                                       */
/* ------------------------------------------------------------------------- */

/* The modes an export plug-in of this interface may be given for gray and RGB
 * documents. A host may pass other values for other colour models; a plug-in
 * that does not know a value refuses the document in Prepare. The depth field,
 * not the mode's name, gives the size of the samples delivered: a mode of
 * another depth's family (plugInModeGrayScale with depth 16) is a gray
 * document of that depth, which a plug-in exports as such or refuses in Prepare
 * with exportErrUnsupportedDocument. */
enum {
    plugInModeGrayScale = 1, /* gray, 8 bits per sample */
    plugInModeRGBColor = 3,  /* RGB, 8 bits per sample */
    plugInModeGray16 = 10,   /* gray, 16 bits per sample */
    plugInModeRGB48 = 11,    /* RGB, 16 bits per sample */
    plugInModeRGB96 = 16,    /* RGB, 32-bit float samples */
    plugInModeGray32 = 17    /* gray, 32-bit float samples */
};

/* ------------------------------------------------------------------------- */
/* Handle routines                                                            */
/* ------------------------------------------------------------------------- */

/* Creates a handle of size bytes (unlocked, contents undefined); NULL when the
 * memory cannot be had. */
typedef Handle (*ExportNewHandleProc)(int32_t size);
/* Frees a handle, locked or not. NULL is ignored. */
typedef void (*ExportDisposeHandleProc)(Handle h);
/* The handle's size in bytes; 0 for NULL. */
typedef int32_t (*ExportGetHandleSizeProc)(Handle h);
/* Resizes an unlocked handle, keeping its contents up to the smaller size.
 * Returns 0, or exportErrNoMemory when it cannot; the handle is then unchanged. */
typedef int16_t (*ExportSetHandleSizeProc)(Handle h, int32_t newSize);
/* Locks a handle and returns its block's address (NULL on failure). moveHigh is
 * a placement hint the host may ignore. Locks nest: each lock needs an unlock. */
typedef void* (*ExportLockHandleProc)(Handle h, Boolean moveHigh);
/* Undoes one lock. The block may move once no lock remains. */
typedef void (*ExportUnlockHandleProc)(Handle h);
/* The number of handles created through newProc and not yet disposed of. A
 * plug-in or a test uses it to see that nothing leaked. */
typedef int32_t (*ExportCountHandlesProc)(void);
/* True when h is a live handle of this host. */
typedef Boolean (*ExportValidHandleProc)(Handle h);

/* The host's handle routines. Owned by the host, valid during every call. A
 * plug-in uses them only when handleProcsVersion is exportHandleProcsVersion
 * and numHandleProcs counts at least the eight routines below; otherwise it
 * falls back on memory of its own. */
typedef struct HandleProcs {
    int16_t handleProcsVersion; /* exportHandleProcsVersion */
    int16_t numHandleProcs;     /* routines that follow: exportHandleProcsCount */
    ExportNewHandleProc newProc;
    ExportDisposeHandleProc disposeProc;
    ExportGetHandleSizeProc getSizeProc;
    ExportSetHandleSizeProc setSizeProc;
    ExportLockHandleProc lockProc;
    ExportUnlockHandleProc unlockProc;
    ExportCountHandlesProc countProc;
    ExportValidHandleProc validProc;
} HandleProcs;

enum { exportHandleProcsVersion = 1, exportHandleProcsCount = 8 };

/* ------------------------------------------------------------------------- */
/* Suites                                                                     */
/* ------------------------------------------------------------------------- */

/* The host's basic suite: named, versioned tables of routines. Owned by the
 * host; the pointer handed over in a record stays valid until the plug-in is
 * unloaded. */
typedef struct SPBasicSuite {
    /* Stores the table of suite name/version in *suite and returns 0, or
     * returns a non-zero error and leaves *suite NULL. Every successful
     * acquisition must be matched by one ReleaseSuite. */
    int32_t (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    /* Gives back one acquisition. Returns 0, or non-zero for a suite that
     * is not held. */
    int32_t (*ReleaseSuite)(const char* name, int32_t version);
} SPBasicSuite;

/* Event kinds (EventRecord.what). */
enum {
    nullEvent = 0,  /* nothing happened; sent while a modal dialog waits */
    mouseDown = 1,  /* where: the screen point */
    mouseUp = 2,    /* where: the screen point */
    keyDown = 3,    /* message: the character code in the low byte */
    autoKey = 5,    /* a held key repeating; message as for keyDown */
    updateEvt = 6,  /* message: the window to redraw */
    activateEvt = 8 /* message: the window; modifiers bit 0 set: activate */
};

/* One user-interface event. Window references are opaque pointer-sized
 * values owned by whoever made the window. */
typedef struct EventRecord {
    uint16_t what;      /* event kind, see above */
    uintptr_t message;  /* kind-dependent, see above */
    uint32_t when;      /* milliseconds since an arbitrary origin */
    Point where;        /* screen point of a mouse event */
    uint16_t modifiers; /* kind-dependent flags */
} EventRecord;

#define kUIHooksSuite "Host UIHooks Suite for Plug-ins"
#define kUIHooksSuiteVersion1 1

/* UI hooks suite, version 1. A plug-in that runs a modal dialog of its own
 * passes the events that concern the host's windows (null, update and
 * activate events) to processEvent, so the host keeps its windows drawn.
 * processEvent may be NULL when the host has nothing to do with them. */
typedef struct UIHooksSuite1 {
    void (*processEvent)(EventRecord* event);
} UIHooksSuite1;

/* ------------------------------------------------------------------------- */
/* Host routines in the ExportRecord                                          */
/* ------------------------------------------------------------------------- */

/* True when the user asked to cancel. Called between regions. */
typedef Boolean (*ExportAbortProc)(void);
/* done of total units finished; the plug-in passes the zero-based index of the
 * row it just finished and the row count. */
typedef void (*ExportProgressProc)(int32_t done, int32_t total);
/* Delivers the region described by theRect32, loPlane and hiPlane: on return 0,
 * data points at the pixels and rowBytes is the distance in bytes between the
 * starts of two rows. Samples are interleaved per pixel, planes loPlane to
 * hiPlane, in the processor's byte order: unsigned 8-bit; unsigned 16-bit in
 * the range 0..32768; or 32-bit float. data stays valid until the next
 * advanceState call or until the selector call returns. A non-zero result is
 * the host's own error; data is then not valid. */
typedef int16_t (*ExportAdvanceStateProc)(void);

/* ------------------------------------------------------------------------- */
/* The parameter block of selectors Prepare, Start, Continue and Finish       */
/* ------------------------------------------------------------------------- */

/* Owned by the host and valid for the length of one call; the plug-in may keep
 * no pointer into it between calls. "host" below means the host writes the
 * field before Prepare and keeps it for the whole export; "plug-in" means the
 * plug-in writes it during the selector named. */
typedef struct ExportRecord {
    ExportAbortProc abortProc;       /* host; may be NULL (no cancel) */
    ExportProgressProc progressProc; /* host; may be NULL (no progress) */

    /* host: the most bytes the host wants to hand over in one region;
     * plug-in (Prepare): may lower it, never raise it. */
    int32_t maxData;

    int16_t imageMode; /* host: plugInMode* */
    int16_t depth;     /* host: bits per sample: 8, 16 or 32 */
    int16_t planes;    /* host: samples per pixel, alpha and extra channels included */

    /* host: rows (v) and columns (h), clipped to 16 bits (32767). A host
     * without 32-bit coordinates fills only this one, so a plug-in cannot tell a
     * clipped side from one of 32767. A side may be 0: an empty document, of
     * which no region can be asked for. */
    Point imageSize;
    VPoint imageSize32; /* host: rows (v) and columns (h), when HostSupports32BitCoordinates is 1 */

    /* plug-in (Start, Continue): the region wanted next; empty when done.
     * The host reads theRect32 once PluginUsing32BitCoordinates is 1,
     * else theRect. */
    Rect theRect;
    VRect theRect32;
    int16_t loPlane, hiPlane; /* plug-in: first and last plane wanted */

    void* data;       /* host, in advanceState: the delivered pixels */
    int32_t rowBytes; /* host, in advanceState: bytes from one row to the next */

    /* host: the document's name as length-prefixed bytes: filename[0] is the
     * count (0..255), the bytes follow without a terminator. */
    unsigned char filename[256];

    HandleProcs* handleProcs;            /* host; may be NULL */
    ExportAdvanceStateProc advanceState; /* host; NULL on hosts too old to deliver */
    SPBasicSuite* sSPBasic;              /* host; may be NULL */

    /* host: 1 when the host reads theRect32 and fills imageSize32. */
    int32_t HostSupports32BitCoordinates;
    /* plug-in (Prepare): 1 when it will use the 32-bit fields; host sets 0. */
    int32_t PluginUsing32BitCoordinates;
} ExportRecord;

/* The parameter block of exportSelectorAbout. Owned by the host for the call. */
typedef struct AboutRecord {
    void* hostContext;      /* the host's own; the plug-in does not read it */
    SPBasicSuite* sSPBasic; /* host; may be NULL */
} AboutRecord;

/* ------------------------------------------------------------------------- */
/* The entry point                                                            */
/* ------------------------------------------------------------------------- */

/* The plug-in's only exported symbol, resolved by this name.
 *   selector          one of exportSelector*.
 *   pluginParamBlock  AboutRecord* for About, ExportRecord* otherwise.
 *   data              a pointer-sized slot the host keeps for the plug-in for
 *                     as long as the module is loaded: 0 before the first
 *                     call, then whatever the plug-in stored (a Handle made
 *                     with the host's handleProcs, or a block of its own).
 *   result            the call's result, an exportErr* code or a host code.
 * With a NULL pluginParamBlock, data or result the call does nothing and
 * leaves *result untouched. */
#define exportPluginEntryName "PluginMain"

typedef void (*ExportPluginEntry)(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);

void PluginMain(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);

#ifdef __cplusplus
}
#endif

#endif /* QUENFIELD_EXPORT_INTERFACE_H */

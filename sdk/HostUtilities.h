// Host-SDK utilities linked into the plug-in: the globals handle and the handles of the host or the platform.
#ifndef QUENFIELD_SDK_HOSTUTILITIES_H
#define QUENFIELD_SDK_HOSTUTILITIES_H

#include "ExportInterface.h"

#include <cstdint>

// What every globals block begins with: the fields AllocateGlobals sets on every call. A plug-in's globals
// type holds it as its first member and asserts so (see plugin/DataGlobal.h).
struct SGlobalsHead {
    int16_t* pResult;            // this call's result field
    ExportRecord* pExportRecord; // this call's parameter block
};

// Fills a fresh globals block.
typedef void (*GlobalsInitProc)(void* block);

// Returns the locked globals block kept in *data, creating it on the first call (when *data is 0), with its
// head set to result and record, and *result set to 0. Null when the handle cannot be created or locked.
SGlobalsHead* AllocateGlobals(int16_t* result, ExportRecord* record, HandleProcs* procs, int32_t size,
                              intptr_t* data, GlobalsInitProc init);

// The host's handle routines are usable: version 1, at least eight routines, the first four present.
Boolean HostHandleProcsAvailable(const HandleProcs* procs);
// A new handle comes from the host's routines when they are usable and from the platform's own otherwise;
// locking, unlocking and disposing of it go to the allocator that made it, whatever procs offers then. A
// handle of the host's cannot be locked without the host's lockProc (null), nor unlocked or disposed of
// without its routines (nothing happens).
Handle HostNewHandle(HandleProcs* procs, int32_t size);
void* HostLockHandle(HandleProcs* procs, Handle h, Boolean moveHigh);
void HostUnlockHandle(HandleProcs* procs, Handle h);
void HostDisposeHandle(HandleProcs* procs, Handle h);

#endif

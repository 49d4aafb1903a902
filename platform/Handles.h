// The platform's own movable memory, used for the globals when the host offers no usable handle routines.
#ifndef QUENFIELD_PLATFORM_HANDLES_H
#define QUENFIELD_PLATFORM_HANDLES_H

#include "ExportInterface.h"

#include <cstdint>

// Null when the memory cannot be had. The block is zero-filled.
Handle NewHandle(int32_t size);
void DisposeHandle(Handle h);
void HLock(Handle h);
void HUnlock(Handle h);
// The block's address; stable only while the handle is locked.
void* HandleAddress(Handle h);
// True for a live handle made by NewHandle, false for anything else (another allocator's, a disposed one).
bool IsPlatformHandle(Handle h);

#endif

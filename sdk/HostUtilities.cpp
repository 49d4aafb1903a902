#include "sdk/HostUtilities.h"

#include "platform/Handles.h"

namespace {

SGlobalsHead* FillHead(void* block, int16_t* result, ExportRecord* record) {
    auto* head = static_cast<SGlobalsHead*>(block);
    head->pResult = result;
    head->pExportRecord = record;
    *result = 0;
    return head;
}

} // namespace

SGlobalsHead* AllocateGlobals(int16_t* result, ExportRecord* record, HandleProcs* procs, int32_t size,
                              intptr_t* data, GlobalsInitProc init) {
    if (*data == 0) {
        Handle h = HostNewHandle(procs, size);
        if (h == nullptr) {
            return nullptr;
        }
        void* block = HostLockHandle(procs, h, true);
        if (block == nullptr) {
            HostDisposeHandle(procs, h);
            return nullptr;
        }
        SGlobalsHead* head = FillHead(block, result, record);
        init(block);
        *data = reinterpret_cast<intptr_t>(h);
        return head;
    }
    void* block = HostLockHandle(procs, reinterpret_cast<Handle>(*data), true);
    return block == nullptr ? nullptr : FillHead(block, result, record);
}

Boolean HostHandleProcsAvailable(const HandleProcs* procs) {
    if (procs == nullptr || procs->handleProcsVersion <= 0 ||
        procs->handleProcsVersion > exportHandleProcsVersion) {
        return false;
    }
    if (static_cast<uint16_t>(procs->numHandleProcs) <= 7) {
        return false;
    }
    return procs->newProc != nullptr && procs->disposeProc != nullptr && procs->getSizeProc != nullptr &&
           procs->setSizeProc != nullptr;
}

Handle HostNewHandle(HandleProcs* procs, int32_t size) {
    return HostHandleProcsAvailable(procs) ? procs->newProc(size) : NewHandle(size);
}

// A handle goes back to the allocator that made it, whatever a later call's record offers: the platform's own
// handles to the platform, any other only to the host's routines, when they are usable and the one needed is
// there.
void* HostLockHandle(HandleProcs* procs, Handle h, Boolean moveHigh) {
    if (IsPlatformHandle(h)) {
        HLock(h);
        return HandleAddress(h);
    }
    if (HostHandleProcsAvailable(procs) && procs->lockProc != nullptr) {
        return procs->lockProc(h, moveHigh);
    }
    return nullptr;
}

void HostUnlockHandle(HandleProcs* procs, Handle h) {
    if (IsPlatformHandle(h)) {
        HUnlock(h);
    } else if (HostHandleProcsAvailable(procs) && procs->unlockProc != nullptr) {
        procs->unlockProc(h);
    }
}

void HostDisposeHandle(HandleProcs* procs, Handle h) {
    if (IsPlatformHandle(h)) {
        DisposeHandle(h);
    } else if (HostHandleProcsAvailable(procs)) {
        procs->disposeProc(h);
    }
}

// Handles of our own for hosts without usable handle routines. Blocks never move here, so a handle is a
// master record that points at a fixed block; locking only counts.
#include "platform/Handles.h"

#include <cstdlib>
#include <new>

namespace {

struct SMasterBlock {
    void* pBlock;
    int32_t iLocks;
};

SMasterBlock* Master(Handle h) {
    return reinterpret_cast<SMasterBlock*>(h);
}

} // namespace

Handle NewHandle(int32_t size) {
    if (size < 0) {
        return nullptr;
    }
    auto* master = new (std::nothrow) SMasterBlock{std::calloc(1, size > 0 ? size : 1), 0};
    if (master == nullptr || master->pBlock == nullptr) {
        delete master;
        return nullptr;
    }
    return reinterpret_cast<Handle>(master);
}

void DisposeHandle(Handle h) {
    if (h == nullptr) {
        return;
    }
    std::free(Master(h)->pBlock);
    delete Master(h);
}

void HLock(Handle h) {
    if (h != nullptr) {
        ++Master(h)->iLocks;
    }
}

void HUnlock(Handle h) {
    if (h != nullptr && Master(h)->iLocks > 0) {
        --Master(h)->iLocks;
    }
}

void* HandleAddress(Handle h) {
    return h == nullptr ? nullptr : Master(h)->pBlock;
}

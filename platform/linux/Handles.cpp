// Handles of our own for hosts without usable handle routines. Blocks never move here, so a handle is a
// master record that points at a fixed block; locking only counts. The host resets its data slot when it
// unloads the module, so whatever is still alive then is freed with the module.
#include "platform/Handles.h"

#include <cstdlib>
#include <new>
#include <unordered_set>

namespace {

struct SMasterBlock {
    void* pBlock;
    int32_t iLocks;
};

class CHandleRegistry {
public:
    CHandleRegistry() = default;
    CHandleRegistry(const CHandleRegistry&) = delete;
    CHandleRegistry& operator=(const CHandleRegistry&) = delete;
    ~CHandleRegistry() {
        for (SMasterBlock* master : aLive) {
            Free(master);
        }
    }

    bool Add(SMasterBlock* master) {
        try {
            aLive.insert(master);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    bool Remove(SMasterBlock* master) { return aLive.erase(master) == 1; }
    bool Contains(SMasterBlock* master) const { return aLive.count(master) == 1; }

    static void Free(SMasterBlock* master) {
        std::free(master->pBlock);
        delete master;
    }

private:
    std::unordered_set<SMasterBlock*> aLive;
};

CHandleRegistry& Registry() {
    static CHandleRegistry registry;
    return registry;
}

// Null for anything that is not a live handle of ours, so a stale or foreign value is never dereferenced.
SMasterBlock* Master(Handle h) {
    auto* master = reinterpret_cast<SMasterBlock*>(h);
    return h != nullptr && Registry().Contains(master) ? master : nullptr;
}

} // namespace

Handle NewHandle(int32_t size) {
    if (size < 0) {
        return nullptr;
    }
    auto* master = new (std::nothrow) SMasterBlock{std::calloc(1, size > 0 ? size : 1), 0};
    if (master == nullptr || master->pBlock == nullptr || !Registry().Add(master)) {
        if (master != nullptr) {
            CHandleRegistry::Free(master);
        }
        return nullptr;
    }
    return reinterpret_cast<Handle>(master);
}

void DisposeHandle(Handle h) {
    SMasterBlock* master = Master(h);
    if (master != nullptr && Registry().Remove(master)) {
        CHandleRegistry::Free(master);
    }
}

void HLock(Handle h) {
    if (SMasterBlock* master = Master(h)) {
        ++master->iLocks;
    }
}

void HUnlock(Handle h) {
    SMasterBlock* master = Master(h);
    if (master != nullptr && master->iLocks > 0) {
        --master->iLocks;
    }
}

void* HandleAddress(Handle h) {
    SMasterBlock* master = Master(h);
    return master == nullptr ? nullptr : master->pBlock;
}

bool IsPlatformHandle(Handle h) {
    return Master(h) != nullptr;
}

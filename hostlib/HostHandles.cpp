#include "HostHandles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

// The handle is the host's record of one block; the plug-in sees only its address.
struct ExportOpaqueHandle {
    void* block;
    int32_t size;
    int32_t locks;
};

namespace host::handles {
namespace {

std::unordered_set<Handle>& Registry() {
    static std::unordered_set<Handle> registry;
    return registry;
}

int32_t created = 0;
MisuseReport misuse = nullptr;

Handle Find(Handle h) {
    return h != nullptr && Registry().count(h) != 0 ? h : nullptr;
}

// Zeroed, so that what a plug-in reads before it writes is the same in every run; calloc(0) may answer
// null, and every live handle owns a real block.
void* Allocate(int32_t size) {
    return std::calloc(size > 0 ? static_cast<size_t>(size) : 1, 1);
}

Handle NewHandle(int32_t size) {
    if (size < 0) {
        return nullptr;
    }
    void* block = Allocate(size);
    if (block == nullptr) {
        return nullptr;
    }
    auto* h = new ExportOpaqueHandle{block, size, 0};
    Registry().insert(h);
    ++created;
    return h;
}

void DisposeHandle(Handle h) {
    if (Find(h) == nullptr) {
        return;
    }
    Registry().erase(h);
    std::free(h->block);
    delete h;
}

int32_t GetHandleSize(Handle h) {
    return Find(h) != nullptr ? h->size : 0;
}

int16_t SetHandleSize(Handle h, int32_t newSize) {
    if (Find(h) == nullptr || h->locks > 0 || newSize < 0) {
        return exportErrNoMemory;
    }
    // A fresh block every time, so a plug-in that keeps an address across an unlocked resize is caught.
    void* block = Allocate(newSize);
    if (block == nullptr) {
        return exportErrNoMemory;
    }
    const int32_t kept = newSize < h->size ? newSize : h->size;
    if (kept > 0) {
        std::memcpy(block, h->block, static_cast<size_t>(kept));
    }
    std::free(h->block);
    h->block = block;
    h->size = newSize;
    return exportNoErr;
}

void* LockHandle(Handle h, Boolean /*moveHigh*/) {
    if (Find(h) == nullptr) {
        return nullptr;
    }
    ++h->locks;
    return h->block;
}

void* RefuseLock(Handle /*h*/, Boolean /*moveHigh*/) {
    return nullptr;
}

void UnlockHandle(Handle h) {
    if (Find(h) != nullptr && h->locks > 0) {
        --h->locks;
    } else if (misuse != nullptr) {
        misuse("unlock of a handle that is not locked");
    }
}

int32_t CountHandles() {
    return static_cast<int32_t>(Registry().size());
}

Boolean ValidHandle(Handle h) {
    return Find(h) != nullptr ? 1 : 0;
}

HandleProcs Spoilt(void (*spoil)(HandleProcs&)) {
    HandleProcs table = Table();
    spoil(table);
    return table;
}

} // namespace

HandleProcs* Procs() {
    static HandleProcs procs{exportHandleProcsVersion,
                             exportHandleProcsCount,
                             NewHandle,
                             DisposeHandle,
                             GetHandleSize,
                             SetHandleSize,
                             LockHandle,
                             UnlockHandle,
                             CountHandles,
                             ValidHandle};
    return &procs;
}

HandleProcs Table() {
    return *Procs();
}

// A table of its own for each kind, so that several kinds can be offered at once.
HandleProcs* Offered(fuzz::HandleMode mode) {
    static HandleProcs newer = Spoilt([](HandleProcs& t) { t.handleProcsVersion = 2; });
    static HandleProcs fewer = Spoilt([](HandleProcs& t) { t.numHandleProcs = 7; });
    static HandleProcs lockless = Spoilt([](HandleProcs& t) { t.lockProc = RefuseLock; });
    switch (mode) {
    case fuzz::HandleMode::Host:
        return Procs();
    case fuzz::HandleMode::None:
        return nullptr;
    case fuzz::HandleMode::WrongVersion:
        return &newer;
    case fuzz::HandleMode::TooFewRoutines:
        return &fewer;
    case fuzz::HandleMode::LockFails:
        return &lockless;
    }
    return nullptr;
}

bool IsValid(Handle h) {
    return Find(h) != nullptr;
}

void Dispose(Handle h) {
    DisposeHandle(h);
}

int32_t Live() {
    return CountHandles();
}

int32_t Locked() {
    return static_cast<int32_t>(
        std::count_if(Registry().begin(), Registry().end(), [](Handle h) { return h->locks > 0; }));
}

int32_t Locks(Handle h) {
    return Find(h) != nullptr ? h->locks : 0;
}

int32_t Created() {
    return created;
}

void ResetCreated() {
    created = 0;
}

void OnMisuse(MisuseReport report) {
    misuse = report;
}

} // namespace host::handles

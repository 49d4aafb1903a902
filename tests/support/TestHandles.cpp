#include "TestHandles.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace testhandles {
namespace {

struct Block {
    void* memory;
    int32_t size;
    int32_t locks;
};

std::map<Handle, Block>& Blocks() {
    static std::map<Handle, Block> blocks;
    return blocks;
}
int32_t created = 0;

Block* Find(Handle h) {
    auto it = Blocks().find(h);
    return it == Blocks().end() ? nullptr : &it->second;
}

Handle New(int32_t size) {
    auto* master = static_cast<void**>(std::malloc(sizeof(void*)));
    void* memory = std::calloc(1, size > 0 ? size : 1);
    *master = memory;
    Handle h = reinterpret_cast<Handle>(master);
    Blocks()[h] = Block{memory, size, 0};
    ++created;
    return h;
}

void Dispose(Handle h) {
    Block* block = Find(h);
    if (block == nullptr) {
        return;
    }
    std::free(block->memory);
    Blocks().erase(h);
    std::free(reinterpret_cast<void**>(h));
}

int32_t GetSize(Handle h) {
    Block* block = Find(h);
    return block == nullptr ? 0 : block->size;
}

int16_t SetSize(Handle h, int32_t size) {
    Block* block = Find(h);
    if (block == nullptr || block->locks > 0) {
        return exportErrNoMemory;
    }
    void* memory = std::realloc(block->memory, size > 0 ? size : 1);
    if (memory == nullptr) {
        return exportErrNoMemory;
    }
    block->memory = memory;
    block->size = size;
    *reinterpret_cast<void**>(h) = memory;
    return 0;
}

void* Lock(Handle h, Boolean) {
    Block* block = Find(h);
    if (block == nullptr) {
        return nullptr;
    }
    ++block->locks;
    return block->memory;
}

void Unlock(Handle h) {
    Block* block = Find(h);
    if (block != nullptr && block->locks > 0) {
        --block->locks;
    }
}

int32_t Count() {
    return static_cast<int32_t>(Blocks().size());
}

Boolean Valid(Handle h) {
    return Find(h) != nullptr;
}

} // namespace

HandleProcs Procs() {
    return HandleProcs{exportHandleProcsVersion,
                       exportHandleProcsCount,
                       New,
                       Dispose,
                       GetSize,
                       SetSize,
                       Lock,
                       Unlock,
                       Count,
                       Valid};
}

int32_t Live() {
    return Count();
}

int32_t Locks(Handle h) {
    Block* block = Find(h);
    return block == nullptr ? 0 : block->locks;
}

int32_t Created() {
    return created;
}

void Reset() {
    created = 0;
}

} // namespace testhandles

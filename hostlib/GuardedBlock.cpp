#include "GuardedBlock.h"

#include <atomic>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace host {
namespace {

// Address space reserved once, never readable until a block takes some of it; blocks take it from the
// bottom up and leave it unreadable behind them. Only when it is used up does it start again from the
// bottom, so addresses come back only after 64 GiB of deliveries.
constexpr size_t kArenaBytes = size_t(64) << 30;

struct Arena {
    uint8_t* base = nullptr;
    size_t next = 0; // offset of the next block's guard page
    std::atomic<uintptr_t> currentStart{0};
    std::atomic<uintptr_t> currentEnd{0};
};

std::atomic<Arena*> reserved{nullptr};

Arena& TheArena() {
    static Arena arena;
    if (arena.base == nullptr) {
        void* mapping =
            mmap(nullptr, kArenaBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapping == MAP_FAILED) {
            throw std::bad_alloc();
        }
        arena.base = static_cast<uint8_t*>(mapping);
        reserved = &arena;
    }
    return arena;
}

size_t PageSize() {
    return size_t(sysconf(_SC_PAGESIZE));
}

} // namespace

GuardedBlock::GuardedBlock(size_t size) {
    const size_t page = PageSize();
    dataPages_ = size == 0 ? 1 : (size + page - 1) / page;
    // A guard page before the data and one after it.
    const size_t span = (dataPages_ + 2) * page;
    Arena& arena = TheArena();
    if (span > kArenaBytes) {
        throw std::bad_alloc();
    }
    if (arena.next + span > kArenaBytes) {
        arena.next = 0;
    }
    pages_ = arena.base + arena.next + page;
    arena.next += span;
    if (mprotect(pages_, dataPages_ * page, PROT_READ | PROT_WRITE) != 0) {
        throw std::bad_alloc();
    }
    data_ = pages_ + dataPages_ * page - size;
    arena.currentStart = reinterpret_cast<uintptr_t>(pages_ - page);
    arena.currentEnd = reinterpret_cast<uintptr_t>(pages_ + (dataPages_ + 1) * page);
}

GuardedBlock::~GuardedBlock() {
    const size_t bytes = dataPages_ * PageSize();
    mprotect(pages_, bytes, PROT_NONE);
    madvise(pages_, bytes, MADV_DONTNEED);
    Arena& arena = TheArena();
    if (arena.currentStart == reinterpret_cast<uintptr_t>(pages_ - PageSize())) {
        arena.currentStart = 0;
        arena.currentEnd = 0;
    }
}

void GuardedBlock::Seal() {
    mprotect(pages_, dataPages_ * PageSize(), PROT_READ);
}

const char* DescribeFault(const void* address) {
    const Arena* arena = reserved;
    if (arena == nullptr) {
        return "";
    }
    const auto at = reinterpret_cast<uintptr_t>(address);
    const auto base = reinterpret_cast<uintptr_t>(arena->base);
    if (at < base || at >= base + kArenaBytes) {
        return "";
    }
    const uintptr_t start = arena->currentStart;
    const uintptr_t end = arena->currentEnd;
    if (start != 0 && at >= start && at < end) {
        return "an access outside the current delivery's bytes (past its end, before its start, or a write)";
    }
    if (at < base + arena->next) {
        return "a read of an earlier delivery, gone since (a stale data pointer)";
    }
    return "a read of host memory never delivered";
}

} // namespace host

#include "Faults.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <new>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Plain storage only: these are read inside operator new and close, which must not allocate.
size_t uiAllocationLimit = 0;
size_t uiFailedAllocations = 0;
char aClosePrefix[PATH_MAX] = "";
size_t uiFailedCloses = 0;

// Over-aligned types (the conversion buffers among them) come through here too, so they can fail as well.
void* Allocate(size_t size, size_t alignment = alignof(std::max_align_t)) {
    if (uiAllocationLimit != 0 && size >= uiAllocationLimit) {
        ++uiFailedAllocations;
        throw std::bad_alloc();
    }
    const size_t rounded = (std::max<size_t>(size, 1) + alignment - 1) / alignment * alignment;
    if (void* block = std::aligned_alloc(alignment, rounded)) {
        return block;
    }
    throw std::bad_alloc();
}

bool UnderClosePrefix(int fd) {
    if (aClosePrefix[0] == '\0' || fd < 0) {
        return false;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 && std::strncmp(target, aClosePrefix, std::strlen(aClosePrefix)) == 0;
}

} // namespace

namespace faults {

void FailAllocationsFrom(size_t bytes) {
    if (bytes != 0) {
        uiFailedAllocations = 0;
    }
    uiAllocationLimit = bytes;
}

size_t FailedAllocations() {
    return uiFailedAllocations;
}

void FailClosesUnder(const std::string& prefix) {
    if (!prefix.empty()) {
        uiFailedCloses = 0;
    }
    std::snprintf(aClosePrefix, sizeof aClosePrefix, "%s", prefix.c_str());
}

size_t FailedCloses() {
    return uiFailedCloses;
}

} // namespace faults

void* operator new(size_t size) {
    return Allocate(size);
}

void* operator new[](size_t size) {
    return Allocate(size);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new(size_t size, std::align_val_t alignment) {
    return Allocate(size, static_cast<size_t>(alignment));
}

void* operator new[](size_t size, std::align_val_t alignment) {
    return Allocate(size, static_cast<size_t>(alignment));
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

void operator delete(void* block, std::align_val_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::align_val_t) noexcept {
    std::free(block);
}

void operator delete(void* block, size_t, std::align_val_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, size_t, std::align_val_t) noexcept {
    std::free(block);
}

extern "C" int close(int fd) {
    const bool fail = UnderClosePrefix(fd);
    const int result = static_cast<int>(syscall(SYS_close, fd));
    if (fail && result == 0) {
        ++uiFailedCloses;
        errno = EIO;
        return -1;
    }
    return result;
}

// Memory handed to a plug-in that must not be read past its end or written at all: the bytes end exactly at
// a page boundary, an unmapped page follows, and the pages holding them are read-only once filled. A read
// beyond the last byte promised, or any write, faults at once.
//
// Every block lies at an address no earlier block had, and a block's pages stay unreadable once it is gone,
// so a plug-in that keeps reading an earlier delivery faults as well, at an address DescribeFault names.
#ifndef QUENFIELD_HOST_GUARDEDBLOCK_H
#define QUENFIELD_HOST_GUARDEDBLOCK_H

#include <cstddef>
#include <cstdint>

namespace host {

class GuardedBlock {
public:
    // Room for size bytes (at least one page is mapped, also for 0). Throws std::bad_alloc when the memory
    // cannot be mapped.
    explicit GuardedBlock(size_t size);
    // Makes the pages unreadable for good and gives their memory back.
    ~GuardedBlock();
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    // Writable until Seal.
    uint8_t* Data() { return data_; }
    // Makes the bytes read-only.
    void Seal();

private:
    uint8_t* pages_ = nullptr; // the first data page
    size_t dataPages_ = 0;
    uint8_t* data_ = nullptr;
};

// What a fault at address means for the blocks: "" when it lies outside them all, else words such as "a read
// of an earlier delivery (a stale data pointer)". Safe to call in a signal handler.
const char* DescribeFault(const void* address);

} // namespace host

#endif

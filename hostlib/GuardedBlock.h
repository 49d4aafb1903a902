// Memory handed to a plug-in that must not be read past its end or written at all: the bytes end exactly at
// a page boundary, an unmapped page follows, and the pages holding them are read-only once filled. A read
// beyond the last byte promised, or any write, faults at once.
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
    ~GuardedBlock();
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    // Writable until Seal.
    uint8_t* Data() { return data_; }
    // Makes the bytes read-only.
    void Seal();

private:
    uint8_t* mapping_ = nullptr;
    size_t mappingSize_ = 0;
    size_t dataPages_ = 0;
    uint8_t* data_ = nullptr;
};

} // namespace host

#endif

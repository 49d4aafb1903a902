#include "GuardedBlock.h"

#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace host {

GuardedBlock::GuardedBlock(size_t size) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    dataPages_ = size == 0 ? 1 : (size + page - 1) / page;
    // A guard page before the data too, so an access just below it faults as well when the data starts at a
    // page boundary.
    mappingSize_ = (dataPages_ + 2) * page;
    void* mapping = mmap(nullptr, mappingSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        throw std::bad_alloc();
    }
    mapping_ = static_cast<uint8_t*>(mapping);
    if (mprotect(mapping_ + page, dataPages_ * page, PROT_READ | PROT_WRITE) != 0) {
        munmap(mapping_, mappingSize_);
        throw std::bad_alloc();
    }
    data_ = mapping_ + page + dataPages_ * page - size;
}

GuardedBlock::~GuardedBlock() {
    munmap(mapping_, mappingSize_);
}

void GuardedBlock::Seal() {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    mprotect(mapping_ + page, dataPages_ * page, PROT_READ);
}

} // namespace host

// Faults injected from the test executable. Its operator new and its close take the place of the C++ and C
// libraries' for everything in the process, the loaded module included; disarmed they behave as those do.
#ifndef QUENFIELD_TESTS_FAULTS_H
#define QUENFIELD_TESTS_FAULTS_H

#include <cstddef>
#include <string>

namespace faults {

// While armed (bytes above 0), every allocation of at least that many bytes throws std::bad_alloc.
void FailAllocationsFrom(size_t bytes);
// Failures since the last arming.
size_t FailedAllocations();

// While armed (prefix not empty), closing a descriptor of a file whose path starts with prefix closes it and
// then reports EIO, as a file system does that learns of a lost write only at close.
void FailClosesUnder(const std::string& prefix);
// Failures since the last arming.
size_t FailedCloses();

} // namespace faults

#endif

// Host handle routines for tests: real movable blocks that count what is alive and locked.
#ifndef QUENFIELD_TESTS_TESTHANDLES_H
#define QUENFIELD_TESTS_TESTHANDLES_H

#include "ExportInterface.h"

namespace testhandles {

// A fresh table with all eight routines; version and count can be spoiled by the test afterwards.
HandleProcs Procs();
int32_t Live(); // handles created and not disposed of
int32_t Locks(Handle h);
int32_t Created(); // handles created since the last Reset
void Reset();      // forgets the counters; disposes of nothing

} // namespace testhandles

#endif

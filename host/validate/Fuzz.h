// quenfield-export validate --fuzz SECONDS and --reproduce SEED: random host sessions (FuzzCase) against a
// plug-in, each in a process of its own, for a while or one again.
#ifndef QUENFIELD_VALIDATE_FUZZ_H
#define QUENFIELD_VALIDATE_FUZZ_H

#include "ValidateCommand.h"

namespace validate {

// Prints every failing case with its seed and the command that plays it again, then the count of cases and
// PASSED or FAILED. Returns 0 when no case failed, 1 otherwise.
int RunFuzz(const ValidateOptions& options);

} // namespace validate

#endif

// One case of a fuzz run: a host session made from a seed, decoded as the fuzz target decodes its inputs
// (Scenario), then played against any plug-in and judged by the interface's rules alone.
#ifndef QUENFIELD_VALIDATE_FUZZCASE_H
#define QUENFIELD_VALIDATE_FUZZCASE_H

#include "Check.h"

#include "Scenario.h"

#include <cstdint>
#include <optional>

namespace validate {

struct FuzzCase {
    uint64_t seed = 0;
    fuzz::Scenario scenario;
    // A call made with one of its pointers null: the call's index and which pointer (0 the parameter block,
    // 1 the data slot, 2 the result).
    std::optional<std::pair<size_t, int>> nullArgument;
};

// The same seed gives the same case. Random bytes are decoded, then most cases are steered towards exports
// that run: a host that offers 32-bit coordinates, a supported document and the usual order of selectors.
FuzzCase MakeFuzzCase(uint64_t seed);

// The seed of the index-th case of a run.
uint64_t CaseSeed(uint64_t runSeed, uint64_t index);

// Plays the case; fails with what broke the interface's rules first.
void PlayFuzzCase(const CheckContext& context, const FuzzCase& fuzzCase);

// One line about the case: document, host, calls.
std::string DescribeFuzzCase(const FuzzCase& fuzzCase);

} // namespace validate

#endif

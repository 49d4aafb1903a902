// What an export may not change in the host's process: open descriptors, live host handles, the locale, the
// working directory, signal dispositions and the signal mask.
#ifndef QUENFIELD_VALIDATE_PROCESSSTATE_H
#define QUENFIELD_VALIDATE_PROCESSSTATE_H

#include <array>
#include <map>
#include <string>

namespace validate {

struct ProcessState {
    std::map<int, std::string> descriptors; // number and what it refers to
    int liveHandles = 0;
    std::string locale;
    std::string workingDirectory;
    std::array<std::string, 32> dispositions; // signals 1..31: handler, flags and mask, in words
    std::string signalMask;

    static ProcessState Now();
};

// The first difference between two states, in words; empty when they are the same.
std::string Difference(const ProcessState& before, const ProcessState& after);

} // namespace validate

#endif

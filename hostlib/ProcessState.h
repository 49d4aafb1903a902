// What an export may not change in the host's process: open descriptors, live host handles, the locale, the
// working directory, signal dispositions and the signal mask.
#ifndef QUENFIELD_HOST_PROCESSSTATE_H
#define QUENFIELD_HOST_PROCESSSTATE_H

#include <array>
#include <map>
#include <string>

namespace host {

// The open descriptors, each with what it refers to ("?" where that cannot be read); one closed while the
// list is read is left out.
std::map<int, std::string> OpenDescriptors();

// The open descriptors once they are before's again, or as they are after a short while. A library's worker
// thread may close what a call used a moment after the call has returned (GLib frees a finished request, and
// the main context it answered into, on its own thread): a descriptor still open after that moment was left.
std::map<int, std::string> AwaitDescriptors(const std::map<int, std::string>& before);

// The first descriptor opened, closed or pointed elsewhere between two lists, in words; empty when none was.
std::string DescriptorDifference(const std::map<int, std::string>& before,
                                 const std::map<int, std::string>& after);

struct ProcessState {
    std::map<int, std::string> descriptors; // number and what it refers to
    int liveHandles = 0;
    std::string locale;
    std::string workingDirectory;
    std::array<std::string, 32> dispositions; // signals 1..31: handler, flags and mask, in words
    std::string signalMask;

    static ProcessState Now();
    // Now, with the descriptors awaited as AwaitDescriptors does.
    static ProcessState After(const ProcessState& before);
};

// The first difference between two states, in words; empty when they are the same.
std::string Difference(const ProcessState& before, const ProcessState& after);

} // namespace host

#endif

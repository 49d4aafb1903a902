// The fuzz target's disk: a private scratch folder holding the temporary folders each input may name, a
// victim's folder that nothing may ever touch, and the data folder the companion is registered in. As root,
// the process gets a mount namespace of its own, so that the per-user folder under /tmp that the plug-in
// falls back on is a scratch folder too, and a folder can be made read-only for root as well.
#ifndef QUENFIELD_FUZZ_ENVIRONMENT_H
#define QUENFIELD_FUZZ_ENVIRONMENT_H

#include "Expected.h"
#include "Scenario.h"

#include <string>

namespace fuzz {

class Environment {
public:
    static Environment& Get();

    // The disk as the scenario wants it before the first selector, and what the plug-in will meet there.
    // States this process cannot make (another user's folder without root, the fallback folder without a
    // namespace of its own) are replaced by the plain private temporary folder.
    Setup Arrange(const Scenario& s);
    // Aborts when anything outside the export folder was changed: the victim's folder, the folders the
    // plug-in must pass over, the scratch folder itself.
    void CheckOutside(const std::string& at) const;

private:
    Environment();
    ~Environment();

    void WriteEntry() const;
    void WarmUp() const;
    void Reset();
    std::string TempFolderFor(TmpState state);
    void ApplyHazard(Hazard hazard, const std::string& folder, const std::string& file, Setup& setup);
    TmpState Possible(TmpState state) const;
    Hazard Possible(Hazard hazard) const;

    std::string root;
    std::string entry;
    std::string victim;
    std::string fallback; // the per-user folder under /tmp as the plug-in names it; empty without a namespace
    std::string locked;   // the export folder made read-only by the last input, to be unlocked
};

} // namespace fuzz

#endif

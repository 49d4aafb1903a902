// The host library's host for the fuzzer: it presents the scenario's record, calls the plug-in's entry in
// process, serves advanceState from the scenario's document and behaves per request as the scenario says.
// Every region it hands out is a heap block of exactly the bytes it promised, so a read past them is caught
// by the address sanitizer.
#ifndef QUENFIELD_FUZZ_FUZZHOST_H
#define QUENFIELD_FUZZ_FUZZHOST_H

#include "Expected.h"
#include "HostCore.h"
#include "Scenario.h"

#include "ExportInterface.h"

#include <vector>

namespace fuzz {

class FuzzHost {
public:
    explicit FuzzHost(const Scenario& scenario);
    // Disposes of the plug-in's globals, as a host does when it unloads the module.
    ~FuzzHost();
    FuzzHost(const FuzzHost&) = delete;
    FuzzHost& operator=(const FuzzHost&) = delete;

    // One call of the entry point; the result field starts as a value no call may leave.
    int16_t Call(int16_t selector);

    const ExportRecord& Record() const { return core.Record(); }
    std::vector<Region> Requests() const;
    std::vector<ProgressReport> Progress() const;
    void ClearLog() { core.ClearEvents(); }

private:
    void Arrange(size_t index, host::Misbehaviour& behaviour);

    const Scenario& scenario;
    host::HostCore core;
};

} // namespace fuzz

#endif

// The host library's host for driving the plug-in through the loaded module, with the test handle routines
// and misbehaviour by request index counted over the host's whole life (one request per advanceState
// call).
#ifndef QUENFIELD_TESTS_TESTHOST_H
#define QUENFIELD_TESTS_TESTHOST_H

#include "ExpectedFile.h"
#include "HostCore.h"
#include "MemoryDocument.h"

#include "ExportInterface.h"

#include <cstddef>
#include <cstdint>

class PluginModule;

namespace testhost {

using Document = host::MemoryDocument;
using host::ExpectedFile;

class TestHost : public host::HostCore {
public:
    explicit TestHost(Document document);
    ~TestHost();

    void FailAt(size_t request, int16_t code);
    void CancelAfter(size_t request); // abortProc answers true once this request has been served
    void NullDataAt(size_t request);
    void ShortRowBytes(int32_t bytes); // rowBytes reported this many bytes below the row's pixels
    void RemoveAdvanceState() { Record().advanceState = nullptr; }
    void RemoveProgress() { Record().progressProc = nullptr; }
    void RemoveAbort() { Record().abortProc = nullptr; }

    using HostCore::Call;
    // One selector call through the module, with the given globals slot or else the one this host keeps.
    int16_t Call(const PluginModule& module, int16_t selector, intptr_t* slot = nullptr);
    // Prepare, then Start when Prepare succeeded, then Finish when Start succeeded; Start's result (or
    // Prepare's when it failed).
    int16_t Export(const PluginModule& module, intptr_t* slot = nullptr);
    // Disposes of the globals a slot holds, if the plug-in left a valid handle there.
    void DisposeGlobals(intptr_t slot);

private:
    HandleProcs procs{};
};

} // namespace testhost

#endif

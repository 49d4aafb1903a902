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
#include <string>

class PluginModule;

namespace testhost {

class Document : public host::MemoryDocument {
public:
    Document(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
             std::string name = "Document.psd")
        : MemoryDocument(mode, depth, planes, width, height, std::move(name)) {}
};

using host::ExpectedFile;
using Request = host::Event;
using Progress = host::Event;

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

    const std::vector<Progress>& ProgressCalls() const { return ProgressReports(); }
    // Requests the host could not serve because they lay outside the document or its planes.
    size_t BadRequests() const { return Refusals(); }

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

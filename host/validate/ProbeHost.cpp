#include "ProbeHost.h"

#include "Check.h"
#include "HostHandles.h"
#include "Sandbox.h"

namespace validate {
namespace {

host::HostOptions ProbeOptions(host::DeliveryMemory memory) {
    host::HostOptions options;
    options.memory = memory;
    options.resultUnset = ProbeHost::kUntouched;
    // The time limit would stop such a plug-in too.
    options.maxContinues = 100000;
    return options;
}

void ClearOutputs() {
    if (const Sandbox* sandbox = Sandbox::Current()) {
        sandbox->ClearOutputs();
    }
}

} // namespace

ProbeHost::ProbeHost(ExportPluginEntry entry, Document document, host::DeliveryMemory memory)
    : HostCore(entry, std::move(document), ProbeOptions(memory)), plugin_(entry) {
    Activate();
}

ProbeHost::~ProbeHost() {
    const Handle globals = reinterpret_cast<Handle>(Slot());
    if (host::handles::IsValid(globals)) {
        host::handles::Procs()->disposeProc(globals);
    }
}

ExportRun ProbeHost::Export() {
    NoteStep("exporting " + Doc().Describe());
    ClearOutputs();
    return HostCore::Export();
}

ExportRun ProbeHost::Transfer() {
    NoteStep("exporting " + Doc().Describe() + " without Prepare");
    ClearOutputs();
    return HostCore::Transfer();
}

} // namespace validate

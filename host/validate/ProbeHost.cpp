#include "ProbeHost.h"

#include "HostHandles.h"

namespace validate {
namespace {

host::HostOptions ProbeOptions() {
    host::HostOptions options;
    options.memory = host::DeliveryMemory::Guarded;
    options.resultUnset = ProbeHost::kUntouched;
    // The time limit would stop such a plug-in too.
    options.maxContinues = 100000;
    return options;
}

} // namespace

ProbeHost::ProbeHost(ExportPluginEntry entry, Document document)
    : HostCore(entry, std::move(document), ProbeOptions()) {
    Activate();
}

ProbeHost::~ProbeHost() {
    const Handle globals = reinterpret_cast<Handle>(Slot());
    if (host::handles::IsValid(globals)) {
        host::handles::Procs()->disposeProc(globals);
    }
}

} // namespace validate

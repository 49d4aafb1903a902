// The host the checks drive a plug-in with: the host library's, serving every region from guarded memory
// (GuardedBlock) at a fresh address, and stopping a plug-in that keeps asking for regions after Start.
#ifndef QUENFIELD_VALIDATE_PROBEHOST_H
#define QUENFIELD_VALIDATE_PROBEHOST_H

#include "Documents.h"
#include "HostCore.h"

namespace validate {

using host::DescribeRequest;
using host::Event;
using host::ExportRun;
using host::Misbehaviour;

class ProbeHost : public host::HostCore {
public:
    // A result field no call may leave as it is when it answers.
    static constexpr int16_t kUntouched = 0x5A5A;

    ProbeHost(ExportPluginEntry entry, Document document,
              host::DeliveryMemory memory = host::DeliveryMemory::Guarded);
    // Gives back a globals handle of this host's that the plug-in left in the slot.
    ~ProbeHost();

    ExportPluginEntry Plugin() const { return plugin_; }
    // As the host library's, after emptying the sandbox's folders, so that what the export leaves there is
    // all its own.
    ExportRun Export();
    ExportRun Transfer();

private:
    ExportPluginEntry plugin_;
};

} // namespace validate

#endif

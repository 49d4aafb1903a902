#include "HostSession.h"

#include "PluginModule.h"
#include "TestHost.h"

namespace testhost {

HostSession::~HostSession() {
    const HandleProcs* procs = host.Record().handleProcs;
    if (slot != 0 && procs != nullptr && procs->validProc(Globals())) {
        procs->disposeProc(Globals());
    }
}

int16_t HostSession::Call(int16_t selector) {
    return host.Call(module.Entry(), selector, &host.Record(), &slot);
}

int16_t HostSession::Export() {
    const int16_t prepared = Call(exportSelectorPrepare);
    if (prepared != exportNoErr) {
        return prepared;
    }
    const int16_t started = Call(exportSelectorStart);
    if (started == exportNoErr) {
        Call(exportSelectorFinish);
    }
    return started;
}

} // namespace testhost

// One export session of a TestHost through the loaded module, with the globals slot in the test's hands:
// fault tests look at the plug-in's globals handle after a failure.
#ifndef QUENFIELD_TESTS_HOSTSESSION_H
#define QUENFIELD_TESTS_HOSTSESSION_H

#include "TestHost.h"

#include "ExportInterface.h"

#include <cstdint>

namespace testhost {

class HostSession {
public:
    HostSession(const PluginModule& module, TestHost& host) : module(module), host(host) {}
    ~HostSession() { host.DisposeGlobals(slot); }
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    int16_t Call(int16_t selector) { return host.Call(module, selector, &slot); }
    // Prepare, Start when Prepare succeeded, Finish when Start did; Start's result (or Prepare's).
    int16_t Export() { return host.Export(module, &slot); }
    Handle Globals() const { return reinterpret_cast<Handle>(slot); }

private:
    const PluginModule& module;
    TestHost& host;
    intptr_t slot = 0;
};

} // namespace testhost

#endif

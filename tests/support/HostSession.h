// One export session of a TestHost through the loaded module, with the globals slot in the test's hands:
// fault tests look at the plug-in's globals handle after a failure.
#ifndef QUENFIELD_TESTS_HOSTSESSION_H
#define QUENFIELD_TESTS_HOSTSESSION_H

#include "ExportInterface.h"

#include <cstdint>

class PluginModule;

namespace testhost {

class TestHost;

class HostSession {
public:
    HostSession(const PluginModule& module, TestHost& host) : module(module), host(host) {}
    // Disposes of the globals through the host's handle routines.
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    int16_t Call(int16_t selector);
    // Prepare, Start when Prepare succeeded, Finish when Start did; Start's result (or Prepare's).
    int16_t Export();
    Handle Globals() const { return reinterpret_cast<Handle>(slot); }

private:
    const PluginModule& module;
    TestHost& host;
    intptr_t slot = 0;
};

} // namespace testhost

#endif

// The session bus for one launch, connected within a time limit.
//
// GIO's launch takes the process's shared session bus connection and waits for it without any limit: a bus
// that accepts but never answers would hold the launch for ever. The same shared connection is asked for here
// first, with a deadline and a way to cancel; once it is connected and held, GIO's own request is answered at
// once.
#ifndef QUENFIELD_PLATFORM_LINUX_SESSIONBUS_H
#define QUENFIELD_PLATFORM_LINUX_SESSIONBUS_H

#include <gio/gio.h>

#include <chrono>

namespace _sys {

class CSessionBus {
public:
    // Runs context (the calling thread's default while the launch lasts) until the bus is connected, refused
    // or absent, or the deadline has passed; in the last case the request is cancelled.
    CSessionBus(GMainContext* context, std::chrono::steady_clock::time_point deadline);
    ~CSessionBus();
    CSessionBus(const CSessionBus&) = delete;
    CSessionBus& operator=(const CSessionBus&) = delete;

    // Null when there is no session bus to be had.
    GDBusConnection* Connection() const { return pConnection; }
    // The connection, which the caller now holds; null then.
    GDBusConnection* Take() {
        GDBusConnection* connection = pConnection;
        pConnection = nullptr;
        return connection;
    }
    // The bus did not answer before the deadline.
    bool Expired() const { return bExpired; }

private:
    GDBusConnection* pConnection;
    bool bExpired;
};

} // namespace _sys

#endif

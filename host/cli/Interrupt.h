// Ctrl-C during an export: the first one asks the plug-in to stop (through abortProc), a second one ends the
// program as usual.
#ifndef QUENFIELD_HOST_INTERRUPT_H
#define QUENFIELD_HOST_INTERRUPT_H

#include <csignal>

namespace host {

class InterruptScope {
public:
    InterruptScope();  // installs the handler
    ~InterruptScope(); // puts the previous one back
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool Requested();

private:
    struct sigaction previous_ {};
};

} // namespace host

#endif

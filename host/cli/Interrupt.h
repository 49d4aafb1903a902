// Ctrl-C, SIGTERM or SIGHUP during an export: the first asks the plug-in to stop (through abortProc), so that
// it removes its unfinished file; a second one ends the program as usual.
#ifndef QUENFIELD_HOST_INTERRUPT_H
#define QUENFIELD_HOST_INTERRUPT_H

#include <csignal>

namespace host {

class InterruptScope {
public:
    InterruptScope();  // installs the handler
    ~InterruptScope(); // puts the previous ones back
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool Requested();
    // The conventional status of a program ended by the first signal (128 + its number), also after its own
    // clean-up: 130 after Ctrl-C, 143 after SIGTERM, 129 after SIGHUP.
    static int ExitStatus();

private:
    struct sigaction previous_[3]{};
};

} // namespace host

#endif

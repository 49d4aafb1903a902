#include "Interrupt.h"

#include <iterator>

namespace host {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t requested = 0; // the first signal's number

void OnInterrupt(int signal) {
    if (requested != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    requested = signal;
}

} // namespace

InterruptScope::InterruptScope() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        sigaddset(&action.sa_mask, signal); // one handler at a time decides which signal came first
    }
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &action, &previous_[i]);
        // Started under nohup: the hangup stays ignored, as asked.
        if (kSignals[i] == SIGHUP && previous_[i].sa_handler == SIG_IGN) {
            sigaction(SIGHUP, &previous_[i], nullptr);
        }
    }
}

InterruptScope::~InterruptScope() {
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &previous_[i], nullptr);
    }
}

bool InterruptScope::Requested() {
    return requested != 0;
}

int InterruptScope::ExitStatus() {
    return 128 + requested;
}

} // namespace host

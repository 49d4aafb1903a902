#include "Interrupt.h"

namespace host {
namespace {

volatile std::sig_atomic_t requested = 0;

void OnInterrupt(int signal) {
    if (requested != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    requested = 1;
}

} // namespace

InterruptScope::InterruptScope() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &previous_, nullptr);
}

bool InterruptScope::Requested() {
    return requested != 0;
}

} // namespace host

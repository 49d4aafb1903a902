#include "EndingSignals.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace companion {
namespace {

volatile std::sig_atomic_t noted = 0;

void Note(int signal) {
    noted = signal;
}

} // namespace

Ended::Ended(int signal)
    : ImportError(std::string("the import was stopped by SIG") + sigabbrev_np(signal) +
                  "; its partial TIFF was removed"),
      signal_(signal) {}

void WatchEndingSignals() {
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

void StopIfEnded() {
    if (noted != 0) {
        throw Ended(noted);
    }
}

void EndBy(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace companion

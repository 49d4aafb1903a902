// The signals that end a companion half-way (SIGTERM, SIGINT, SIGHUP) are noted and acted on between rows, so
// that the import removes its partial file and says why; a file-size limit becomes a failed write.
#ifndef QUENFIELD_COMPANION_ENDINGSIGNALS_H
#define QUENFIELD_COMPANION_ENDINGSIGNALS_H

#include "ExportedImage.h"

namespace companion {

// Thrown where the import notices a noted signal.
class Ended : public ImportError {
public:
    explicit Ended(int signal);
    int Signal() const { return signal_; }

private:
    int signal_;
};

// Installs the handlers and ignores SIGXFSZ, so that a write past the limit fails with EFBIG.
void WatchEndingSignals();

// Throws Ended once one of the signals has arrived.
void StopIfEnded();

// Ends the process as the signal would have, now that the import is cleaned up.
[[noreturn]] void EndBy(int signal);

} // namespace companion

#endif

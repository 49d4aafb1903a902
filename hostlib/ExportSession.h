// One export of one document through a loaded plug-in: the host's whole part of the protocol.
#ifndef QUENFIELD_HOST_EXPORTSESSION_H
#define QUENFIELD_HOST_EXPORTSESSION_H

#include "Document.h"
#include "ExportInterface.h"
#include "HostCore.h"
#include "PluginLibrary.h"

#include <functional>
#include <string>

namespace host {

struct ExportObserver {
    std::function<void(int32_t done, int32_t total)> progress; // as the plug-in reports it
    std::function<bool()> cancelled;                           // polled through abortProc
};

struct ExportOutcome {
    int16_t result = exportNoErr;
    std::string hostError; // why this host failed a request, when it did; empty otherwise
};

class ExportSession {
public:
    // The most bytes this host hands over in one region; the plug-in may lower it.
    static constexpr int32_t kOfferedMaxData = HostCore::kOfferedMaxData;

    // Throws std::invalid_argument when the document cannot be described in the record (too large, too many
    // channels).
    ExportSession(PluginLibrary& plugin, RowSource& document, ExportObserver observer = {});
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // Prepare, Start, Continue while a region is wanted, Finish. One session runs at a time.
    ExportOutcome Run();

private:
    PluginLibrary& plugin_;
    RowSource& document_;
    ExportObserver observer_;
};

} // namespace host

#endif

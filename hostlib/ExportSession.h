// One export of one document through a loaded plug-in: the host's whole part of the protocol.
#ifndef QUENFIELD_HOST_EXPORTSESSION_H
#define QUENFIELD_HOST_EXPORTSESSION_H

#include "Document.h"
#include "ExportInterface.h"
#include "PluginLibrary.h"

#include <functional>
#include <string>
#include <vector>

namespace host {

struct ExportObserver {
    std::function<void(int32_t done, int32_t total)> progress; // as the plug-in reports it
    std::function<bool()> cancelled;                           // polled through abortProc
};

struct ExportOutcome {
    int16_t result = exportNoErr;
    std::string hostError; // why this host failed a request, when it did; empty otherwise
    int64_t regionsDelivered = 0;
    int64_t bytesDelivered = 0;
};

class ExportSession {
public:
    // The most bytes this host hands over in one region; the plug-in may lower it.
    static constexpr int32_t kOfferedMaxData = 8 * 1024 * 1024;

    // Throws std::invalid_argument when the document cannot be described in the record (too large, too many
    // channels).
    ExportSession(PluginLibrary& plugin, RowSource& document, ExportObserver observer = {});
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // Prepare, Start, Continue while a region is wanted, Finish. One session runs at a time.
    ExportOutcome Run();

private:
    static Boolean OnAbort();
    static void OnProgress(int32_t done, int32_t total);
    static int16_t OnAdvanceState();

    void FillRecord();
    bool WantsRegion() const;
    VRect RequestedRect() const;
    int16_t Deliver();
    int16_t Refuse(int16_t code, const std::string& reason);
    void CopyRows(const VRect& rect, int lo, int hi, size_t rowBytes);

    PluginLibrary& plugin_;
    RowSource& document_;
    ExportObserver observer_;
    ExportRecord record_{};
    int32_t maxData_ = kOfferedMaxData;
    std::vector<unsigned char> delivery_;
    ExportOutcome outcome_;

    static ExportSession* active_;
};

} // namespace host

#endif

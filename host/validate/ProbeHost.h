// The host the checks drive a plug-in with: it fills an ExportRecord for one document, keeps the data slot,
// serves every region from guarded memory (GuardedBlock), logs every request, progress report and abort poll
// in the order they came, and misbehaves on demand.
//
// The record's routines carry no context, so the most recently constructed ProbeHost is the one they reach.
#ifndef QUENFIELD_VALIDATE_PROBEHOST_H
#define QUENFIELD_VALIDATE_PROBEHOST_H

#include "Documents.h"
#include "GuardedBlock.h"

#include "ExportInterface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace validate {

struct Event {
    enum Kind { Request, Progress, AbortPoll } kind;
    VRect rect{};        // Request
    int16_t loPlane = 0; // Request
    int16_t hiPlane = 0; // Request
    int32_t done = 0;    // Progress
    int32_t total = 0;   // Progress
};

// How the host answers, by zero-based request index within one export (counted from its Start).
struct Misbehaviour {
    std::optional<size_t> cancelAfter; // abortProc answers true once this request has been served
    std::optional<size_t> failAt;      // advanceState answers failCode for this request
    int16_t failCode = 0;
    int32_t rowBytesShortBy = 0; // rowBytes reported this many bytes short of the row's pixels
    int32_t rowBytesPadding = 0; // rowBytes this many bytes longer than the row's pixels, as hosts align rows
    bool misaligned = false;     // data at an odd address, so no sample is aligned to its size
    bool nullData = false;       // advanceState answers 0 but leaves data null
};

// One export from the host's side.
struct ExportRun {
    int16_t prepare = 0;
    std::optional<int16_t> start;  // when Prepare succeeded
    std::optional<int16_t> finish; // when Start succeeded
    int16_t result = 0;            // the first non-zero code, or 0
    int continues = 0;
};

class ProbeHost {
public:
    // A result field no call may leave as it is when it answers.
    static constexpr int16_t kUntouched = 0x5A5A;
    // The most bytes offered per region, as the reference host offers.
    static constexpr int32_t kOfferedMaxData = 8 * 1024 * 1024;

    ProbeHost(ExportPluginEntry entry, Document document);
    // Gives back a globals handle of this host's that the plug-in left in the slot.
    ~ProbeHost();
    ProbeHost(const ProbeHost&) = delete;
    ProbeHost& operator=(const ProbeHost&) = delete;

    ExportRecord& Record() { return record_; }
    const Document& Doc() const { return document_; }
    intptr_t& Slot() { return slot_; }
    Misbehaviour& Behaviour() { return behaviour_; }
    // Called before each request is served, with its index within the export, to change how it is answered.
    void BeforeEachRequest(std::function<void(size_t, Misbehaviour&)> arrange) {
        arrange_ = std::move(arrange);
    }

    // One entry call with this host's record and slot; the result field starts as kUntouched.
    int16_t Call(int16_t selector);
    // One call as Export makes it: Prepare settles the maxData requests are held to, Start begins a new count
    // of requests (and without a Prepare before it holds them to the offer).
    int16_t Play(int16_t selector);
    // Prepare, Start, Continue while a region is wanted, Finish after a successful Start.
    ExportRun Export();
    // Start, Continue and Finish as in Export, without Prepare.
    ExportRun Transfer(int16_t prepare = 0);

    // Whether the plug-in left a region in the record (theRect32 or theRect, as the handshake says).
    bool WantsRegion() const;
    const std::vector<Event>& Events() const { return events_; }
    std::vector<Event> Requests() const;
    // Forgets the events and the first refusal.
    void ClearEvents();
    // Why the host refused the first request it refused (outside the document, wrong planes, above maxData);
    // empty when it refused none.
    const std::string& Refusal() const { return refusal_; }
    // Requests made after abortProc first answered true; 0 when it never did.
    size_t RequestsAfterCancel() const { return afterCancel_; }
    // The maxData requests are held to: the offer, or the plug-in's lower value from Prepare.
    int32_t MaxData() const { return maxData_; }

    int16_t Deliver();
    Boolean Abort();
    void Report(int32_t done, int32_t total);

private:
    VRect RequestedRect() const;
    int16_t Refuse(const std::string& reason);
    void Fill(uint8_t* out, const VRect& rect, int lo, int hi, size_t rowBytes, size_t stride) const;

    ExportPluginEntry entry_;
    Document document_;
    ExportRecord record_{};
    intptr_t slot_ = 0;
    int32_t maxData_ = kOfferedMaxData;
    bool prepared_ = false;
    Misbehaviour behaviour_;
    std::function<void(size_t, Misbehaviour&)> arrange_;
    std::unique_ptr<GuardedBlock> delivery_;
    std::vector<Event> events_;
    size_t served_ = 0;
    bool cancelSeen_ = false; // abortProc has answered true in this export
    size_t afterCancel_ = 0;  // requests made since
    std::string refusal_;
};

// Rows, columns and planes of a request, in words.
std::string DescribeRequest(const Event& request);

} // namespace validate

#endif

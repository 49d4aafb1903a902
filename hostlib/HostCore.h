// The host's side of exporting one document: the ExportRecord, region delivery through advanceState, the
// log of every request, progress report and abort poll in the order they came, and, on demand, the ways a
// host may misbehave. The reference host, the validator, the tests, the fuzz target and the benchmark are all
// this host with other options.
//
// The record's routines carry no context, so one HostCore at a time is the active one: the one last
// activated (every Call activates). Not thread-safe, like the protocol itself.
#ifndef QUENFIELD_HOST_HOSTCORE_H
#define QUENFIELD_HOST_HOSTCORE_H

#include "GuardedBlock.h"
#include "MemoryDocument.h"
#include "RegionSource.h"
#include "ResultCodes.h"

#include "ExportInterface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct Event {
    enum Kind { Request, Progress, AbortPoll } kind;
    VRect rect{};        // Request
    int16_t loPlane = 0; // Request
    int16_t hiPlane = 0; // Request
    int32_t done = 0;    // Progress
    int32_t total = 0;   // Progress
};

// Rows, columns and planes of a request, in words.
std::string DescribeRequest(const Event& request);

// How the host answers, by zero-based request index within one export (counted from its Start).
struct Misbehaviour {
    std::optional<size_t> cancelAfter; // abortProc answers true once this request has been served
    std::optional<size_t> failAt;      // advanceState answers failCode for this request
    int16_t failCode = 0;
    std::optional<size_t> nullDataAt; // advanceState answers 0 but leaves data null for this request
    bool nullData = false;            // ... for every request
    bool cancelUntilNext = false;     // abortProc answers true from this request until the next one
    int32_t rowBytesShortBy = 0;      // rowBytes reported this many bytes short of the row's pixels
    int32_t rowBytesPadding = 0; // rowBytes this many bytes longer than the row's pixels, as hosts align rows
    bool padLastRow = false;     // the last row's padding is part of the delivery too
    bool misaligned = false;     // data at an odd address, so no sample is aligned to its size
};

// Where a region's pixels are put.
enum class DeliveryMemory {
    Copy,      // one buffer, reused from request to request
    InPlace,   // a pointer into the document with its row stride, where the layout allows; else Copy
    Guarded,   // a GuardedBlock per request, gone after it: a read past it or any write faults
    ExactHeap, // a heap block of exactly the bytes promised per request, so the address sanitizer sees
               // a read past them
};

struct HostOptions {
    DeliveryMemory memory = DeliveryMemory::Copy;
    // theRect when the plug-in has not taken up 32-bit coordinates; with false theRect32 always.
    bool rectByHandshake = true;
    // Requests above the maxData settled by Play or Export are refused.
    bool enforceMaxData = true;
    // The refusals' words name the planes of every request (the validator's), or only where they matter.
    bool planesInRefusals = true;
    int16_t badRequestCode = kHostErrBadRequest;
    // What the result field holds before each call, a value no call may leave as it is.
    int16_t resultUnset = 0x5A5A;
    // Continues Export makes at most; a plug-in that keeps asking is stopped there.
    int maxContinues = 0; // 0: no limit
    // Requests, progress reports and abort polls are kept; without, memory stays flat however long the
    // export.
    bool log = true;
    std::function<void(int32_t done, int32_t total)> progress;
    std::function<bool()> cancelled; // polled through abortProc, and before each Continue
};

// The document as the record describes it.
struct RecordDescription {
    int16_t mode = 0;
    int16_t depth = 0;
    std::string name;
};

// One export from the host's side.
struct ExportRun {
    int16_t prepare = 0;
    std::optional<int16_t> start;  // when Prepare succeeded
    std::optional<int16_t> finish; // when Start succeeded
    int16_t result = 0;            // the first non-zero code, or 0
    int continues = 0;
};

class HostCore {
public:
    // The plug-in's entry, or a caller of it that keeps the data slot and result of its own.
    using Entry = std::function<void(int16_t selector, void* block, intptr_t* slot, int16_t* result)>;

    // The most bytes offered per region, as the reference host offers.
    static constexpr int32_t kOfferedMaxData = 8 * 1024 * 1024;

    // The document held by the host.
    HostCore(Entry entry, MemoryDocument document, HostOptions options = {});
    // Rows from elsewhere, which must outlive the host.
    HostCore(Entry entry, RegionSource& source, const RecordDescription& description,
             HostOptions options = {});
    ~HostCore();
    HostCore(const HostCore&) = delete;
    HostCore& operator=(const HostCore&) = delete;

    // Makes this host the one the record's routines reach.
    void Activate();

    ExportRecord& Record() { return record_; }
    const ExportRecord& Record() const { return record_; }
    // The document held by the host (the first constructor's).
    const MemoryDocument& Doc() const { return *document_; }
    intptr_t& Slot() { return slot_; }
    HostOptions& Options() { return options_; }
    Misbehaviour& Behaviour() { return behaviour_; }
    // Called before each request is served, with its index within the export, to change how it is answered.
    void BeforeEachRequest(std::function<void(size_t, Misbehaviour&)> arrange) {
        arrange_ = std::move(arrange);
    }

    // One entry call with this host's record and slot; the result field starts as resultUnset.
    int16_t Call(int16_t selector);
    // The same through another entry, with another block (the About record) or slot.
    int16_t Call(const Entry& entry, int16_t selector, void* block, intptr_t* slot);
    // One call as Export makes it: Prepare settles the maxData requests are held to, Start begins a new count
    // of requests (and without a Prepare before it holds them to the offer).
    int16_t Play(int16_t selector);
    // Prepare, Start, Continue while a region is wanted, Finish after a successful Start.
    ExportRun Export();
    // Start, Continue and Finish as in Export, without Prepare.
    ExportRun Transfer(int16_t prepare = 0);

    // Whether the plug-in left a region in the record.
    bool WantsRegion() const;
    const std::vector<Event>& Events() const { return events_; }
    const std::vector<Event>& Requests() const { return requests_; }
    const std::vector<Event>& ProgressReports() const { return progress_; }
    // Forgets the events and the first refusal.
    void ClearEvents();
    // Why the host refused the first request it refused; empty when it refused none.
    const std::string& Refusal() const { return refusal_; }
    size_t Refusals() const { return refusals_; }
    // Requests made after abortProc first answered true; 0 when it never did.
    size_t RequestsAfterCancel() const { return afterCancel_; }
    // The maxData requests are held to: the offer, or the plug-in's lower value from Prepare.
    int32_t MaxData() const { return maxData_; }
    int64_t RegionsDelivered() const { return regionsDelivered_; }

    int16_t Deliver();
    Boolean Abort();
    void Report(int32_t done, int32_t total);

private:
    void FillRecord(const RecordDescription& description);
    // A Start begins a new count of requests.
    void BeginCount();
    VRect RequestedRect() const;
    std::string CheckRequest(const Event& request) const;
    int16_t Refuse(int16_t code, const std::string& reason);
    uint8_t* Lay(size_t size);
    void Fill(uint8_t* out, const VRect& rect, int lo, int hi, size_t rowBytes, size_t stride);

    Entry entry_;
    std::optional<MemoryDocument> document_;
    RegionSource& source_;
    HostOptions options_;
    ExportRecord record_{};
    intptr_t slot_ = 0;
    int32_t maxData_ = kOfferedMaxData;
    bool prepared_ = false;
    Misbehaviour behaviour_;
    std::function<void(size_t, Misbehaviour&)> arrange_;
    std::vector<uint8_t> buffer_;
    std::vector<uint16_t> converted_;
    std::unique_ptr<GuardedBlock> guarded_;
    std::unique_ptr<uint8_t[]> exact_;
    std::vector<Event> events_;
    std::vector<Event> requests_;
    std::vector<Event> progress_;
    size_t served_ = 0;
    bool cancelSeen_ = false; // abortProc has answered true in this export
    bool cancelling_ = false; // the last request asked abortProc to answer true
    size_t afterCancel_ = 0;  // requests made since
    std::string refusal_;
    size_t refusals_ = 0;
    int64_t regionsDelivered_ = 0;
};

} // namespace host

#endif

// An in-memory host for driving the plug-in: it fills an ExportRecord, serves advanceState from a document
// held in memory, records every request and progress call, and misbehaves on demand (fails or cancels at a
// chosen request, under-reports rowBytes, delivers no data, lacks a routine).
//
// The record's routines are plain C function pointers without a context, so one TestHost at a time is the
// active one: the most recently constructed or Activate()d. Not thread-safe, like the protocol itself.
#ifndef QUENFIELD_TESTS_TESTHOST_H
#define QUENFIELD_TESTS_TESTHOST_H

#include "ExportInterface.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PluginModule;

namespace testhost {

// A document of any mode, depth, plane count and size. Samples are interleaved per pixel, rows from the top,
// in the processor's byte order: uint8_t (depth 8), uint16_t in 0..32768 (depth 16) or float (depth 32).
class Document {
public:
    Document(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
             std::string name = "Document.psd");

    int16_t Mode() const { return iMode; }
    int16_t Depth() const { return iDepth; }
    int16_t Planes() const { return iPlanes; }
    int32_t Width() const { return iWidth; }
    int32_t Height() const { return iHeight; }
    const std::string& Name() const { return sName; }
    void SetName(const std::string& name) { sName = name; }

    // Bytes per sample: 1, 2 or 4 (1 for any other depth).
    size_t SampleBytes() const;
    // The value is stored as the depth's type (truncated for 8 and 16 bits).
    void SetSample(int32_t x, int32_t y, int16_t plane, double value);
    double Sample(int32_t x, int32_t y, int16_t plane) const;
    // Every sample from a deterministic pattern that differs between planes, columns and rows.
    void FillPattern();
    // Every sample drawn from the seed over everything the depth can hold: 8-bit 0..255; 16-bit mostly the
    // host's range 0..32768 with its edges, sometimes above it; 32-bit unit-range values, values outside it,
    // and arbitrary bit patterns (infinities, NaNs with payloads, subnormals, negative zero).
    void FillRandom(uint32_t seed);
    // The raw bytes of one sample, for building deliveries.
    const uint8_t* SampleAddress(int32_t x, int32_t y, int16_t plane) const;

private:
    size_t Offset(int32_t x, int32_t y, int16_t plane) const;

    int16_t iMode;
    int16_t iDepth;
    int16_t iPlanes;
    int32_t iWidth;
    int32_t iHeight;
    std::string sName;
    std::vector<uint8_t> aSamples;
};

// The file the plug-in must write for the document: PPM with 16-bit big-endian samples for 8 and 16 bits,
// PFM with little-endian floats for 32 bits, each float's bits unchanged; gray written three times; extra
// planes dropped.
std::vector<uint8_t> ExpectedFile(const Document& document);

struct Request {
    VRect rect;
    int16_t loPlane;
    int16_t hiPlane;
};

struct Progress {
    int32_t done;
    int32_t total;
};

class TestHost {
public:
    explicit TestHost(Document document);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Makes this host the one the record's routines reach.
    void Activate();

    ExportRecord& Record() { return record; }
    const Document& Doc() const { return document; }

    // Misbehaviour, by zero-based request index (one request per advanceState call).
    void FailAt(size_t request, int16_t code);
    void CancelAfter(size_t request); // abortProc answers true once this request has been served
    void NullDataAt(size_t request);
    void ShortRowBytes(int32_t bytes); // rowBytes reported this many bytes below what was delivered
    void RemoveAdvanceState() { record.advanceState = nullptr; }
    void RemoveProgress() { record.progressProc = nullptr; }
    void RemoveAbort() { record.abortProc = nullptr; }

    const std::vector<Request>& Requests() const { return requests; }
    const std::vector<Progress>& ProgressCalls() const { return progress; }
    size_t AbortPolls() const { return abortPolls; }
    // Requests the host could not serve because they lay outside the document or its planes.
    size_t BadRequests() const { return badRequests; }
    // The largest delivery in bytes, to compare with maxData.
    size_t LargestDelivery() const { return largestDelivery; }

    // One selector call through the module, with the globals slot this host keeps.
    int16_t Call(const PluginModule& module, int16_t selector);
    // Prepare, then Start when Prepare succeeded, then Finish when Start succeeded; Start's result (or
    // Prepare's when it failed).
    int16_t Export(const PluginModule& module);

    // The host's side of the routines.
    int16_t Deliver();
    Boolean Abort();
    void Report(int32_t done, int32_t total);

private:
    Document document;
    ExportRecord record{};
    HandleProcs procs{};
    intptr_t slot = 0;
    std::vector<uint8_t> delivery;
    std::vector<Request> requests;
    std::vector<Progress> progress;
    size_t abortPolls = 0;
    size_t badRequests = 0;
    size_t largestDelivery = 0;
    size_t failAt = SIZE_MAX;
    int16_t failCode = 0;
    size_t cancelAfter = SIZE_MAX;
    size_t nullDataAt = SIZE_MAX;
    int32_t shortBy = 0;
};

} // namespace testhost

#endif

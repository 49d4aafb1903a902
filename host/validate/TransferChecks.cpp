// The transfer inside Start: which regions are asked for, progress, cancelling, the host's own failures,
// and hosts that lack a routine or under-report rowBytes.
#include "CheckSupport.h"

#include <algorithm>
#include <filesystem>

namespace validate {
namespace {

constexpr int32_t kMaxRequestPixels = 10000;
// A plug-in may have one request under way when the user cancels.
constexpr size_t kRequestsAfterCancel = 1;

// Wider than one request of this plug-in can hold (25000 columns), over three rows.
Document Chunked() {
    return MakeDocument(plugInModeRGBColor, 8, 3, 25000, 3, "Chunked.psd");
}

// One row of Chunked at most per request, so that any plug-in makes at least three.
constexpr int32_t kChunkedRow = 25000 * 3;

// Rows from the top, each row's columns left to right without gap or overlap, one row a request, no wider
// than 10000 pixels, every plane.
void ExpectCovering(const std::vector<Event>& requests, const Document& d) {
    const std::string what = d.Describe();
    int32_t row = 0;
    int32_t column = 0;
    for (const Event& r : requests) {
        const std::string next = "row " + std::to_string(row) + " from column " + std::to_string(column);
        Expect(row < d.Height(), what + ": a request", "none after the last row", DescribeRequest(r));
        Expect(r.rect.top == row && r.rect.bottom == row + 1 && r.rect.left == column &&
                   r.rect.right > column && r.rect.right <= d.Width(),
               what + ": the next request", "one row: " + next, DescribeRequest(r));
        Expect(r.rect.right - r.rect.left <= kMaxRequestPixels, what + ": the request's width",
               "at most " + std::to_string(kMaxRequestPixels) + " pixels", DescribeRequest(r));
        Expect(r.loPlane == 0 && r.hiPlane == d.Planes() - 1, what + ": the request's planes",
               "0.." + std::to_string(d.Planes() - 1), DescribeRequest(r));
        column = r.rect.right;
        if (column == d.Width()) {
            ++row;
            column = 0;
        }
    }
    Expect(row == d.Height(), what + ": the requests", "every row",
           "they stopped at row " + std::to_string(row));
}

std::vector<Document> RequestDocuments() {
    return {Chunked(), MakeDocument(plugInModeGray16, 16, 2, 10001, 3),
            MakeDocument(plugInModeRGB96, 32, 4, 7501, 2), MakeDocument(plugInModeGray32, 32, 1, 3, 4)};
}

// Any regions, as long as they lie in the document, name planes it has, stay within maxData and make up
// the right file.
void RegionRequests(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : RequestDocuments()) {
        sandbox.ClearOutputs();
        ProbeHost host(library.Entry(), document);
        ExpectExported(host.Export(), host, sandbox, document.Describe());
    }
}

void SingleRowRequests(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : RequestDocuments()) {
        ProbeHost host(library.Entry(), document);
        const ExportRun run = host.Export();
        Expect(host.Refusal().empty(), document.Describe() + ": the requests", "regions of the document",
               host.Refusal());
        ExpectResult(run.result, exportNoErr, document.Describe() + ": the export's result");
        ExpectCovering(host.Requests(), document);
    }
}

// Progress as the interface describes it: the row count as total, the index of the row just finished as
// done, never going back, ending at the last row.
void ProgressReports(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : {Chunked(), MakeDocument(plugInModeGray32, 32, 1, 4, 1),
                                     MakeDocument(plugInModeGrayScale, 8, 1, 3, 700)}) {
        const std::string what = document.Describe();
        ProbeHost host(library.Entry(), document);
        ExpectResult(host.Export().result, exportNoErr, what + ": the export's result");
        int32_t last = -1;
        for (const Event& e : host.Events()) {
            if (e.kind != Event::Progress) {
                continue;
            }
            Expect(e.total == document.Height() && e.done >= last && e.done < e.total,
                   what + ": the next progress report",
                   "at least " + std::to_string(std::max(last, 0)) + " of " +
                       std::to_string(document.Height()),
                   std::to_string(e.done) + " of " + std::to_string(e.total));
            last = e.done;
        }
        ExpectEqual(last, document.Height() - 1, what + ": the last progress report's row");
    }
}

// Our plug-in's own pace: one report per row, after that row's requests.
void ProgressPerRow(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : {Chunked(), MakeDocument(plugInModeGray32, 32, 1, 4, 1)}) {
        const std::string what = document.Describe();
        ProbeHost host(library.Entry(), document);
        ExpectResult(host.Export().result, exportNoErr, what + ": the export's result");
        int32_t row = 0;
        bool requested = false;
        for (const Event& e : host.Events()) {
            if (e.kind == Event::Request) {
                Expect(e.rect.top == row, what + ": a request before progress " + std::to_string(row),
                       "one of row " + std::to_string(row), DescribeRequest(e));
                requested = true;
            } else if (e.kind == Event::Progress) {
                Expect(e.done == row && e.total == document.Height() && requested,
                       what + ": the next progress report",
                       std::to_string(row) + " of " + std::to_string(document.Height()) +
                           " after that row's requests",
                       std::to_string(e.done) + " of " + std::to_string(e.total) +
                           (requested ? "" : " before any request of the row"));
                ++row;
                requested = false;
            }
        }
        ExpectEqual(row, document.Height(), what + ": progress reports");
    }
}

// Where the host stops an export: the first, a middle and the last of the requests a clean export makes.
std::vector<size_t> StopPositions(size_t requests) {
    std::vector<size_t> positions{0, requests / 2, requests - 1};
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

std::string Ordinal(size_t request, size_t requests) {
    return "request " + std::to_string(request + 1) + " of " + std::to_string(requests);
}

// abortProc answers true from the given request on: the export ends with -128 within one more request, with
// an empty region and no companion launch. Only a cancel at the very last request may go unnoticed.
void Cancel(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const size_t requests = CountRequests(library.Entry(), Chunked(), kChunkedRow);
    SubCases cases;
    for (size_t at : StopPositions(requests)) {
        const std::string what = "cancelled after " + Ordinal(at, requests);
        cases.Run(what, [&] {
            ProbeHost host(library.Entry(), Chunked());
            host.Record().maxData = kChunkedRow;
            host.Behaviour().cancelAfter = at;
            const ExportRun run = host.Export();
            Expect(host.Refusal().empty(), what + ": the requests",
                   "only regions of the document within maxData",
                   "a request the host refused: " + host.Refusal());
            const bool noticed = run.result == exportErrUserCanceled;
            Expect(noticed || (at + 1 == requests && run.result == exportNoErr),
                   what + ": the export's result (abortProc answered true)", Code(exportErrUserCanceled),
                   Code(run.result));
            Expect(host.RequestsAfterCancel() <= kRequestsAfterCancel,
                   what + ": requests after abortProc said so",
                   "at most " + std::to_string(kRequestsAfterCancel),
                   std::to_string(host.RequestsAfterCancel()));
            ExpectRegionEmpty(host.Record(), what);
        });
    }
    cases.Finish();
}

// advanceState fails with the given code at one request: the export answers that code at once.
void ExpectHostErrorAt(ProbeHost& host, size_t at, int16_t code, const std::string& what) {
    host.Behaviour().failAt = at;
    host.Behaviour().failCode = code;
    const ExportRun run = host.Export();
    Expect(host.Refusal().empty(), what + ": the requests", "only regions of the document within maxData",
           "a request the host refused: " + host.Refusal());
    ExpectResult(run.result, code, what + ": the export's result");
    ExpectEqual(long(host.Requests().size()), long(at + 1), what + ": requests");
    ExpectRegionEmpty(host.Record(), what);
}

void HostError(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const size_t requests = CountRequests(library.Entry(), Chunked(), kChunkedRow);
    const int16_t codes[] = {-36, -9999, 17};
    size_t i = 0;
    SubCases cases;
    for (size_t at : StopPositions(requests)) {
        const std::string what = "failed at " + Ordinal(at, requests);
        const int16_t code = codes[i++ % 3];
        cases.Run(what, [&] {
            ProbeHost host(library.Entry(), Chunked());
            host.Record().maxData = kChunkedRow;
            ExpectHostErrorAt(host, at, code, what);
        });
    }
    cases.Finish();
}

// Small documents of every depth, failed at every request in turn.
void HostErrorEachRequest(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (const Document& document :
         {MakeDocument(plugInModeRGBColor, 8, 3, 3, 4), MakeDocument(plugInModeGray16, 16, 2, 2, 5),
          MakeDocument(plugInModeRGB96, 32, 4, 4, 3)}) {
        // A row per request at most, so that every plug-in makes several.
        const int32_t row = int32_t(document.PixelBytes()) * document.Width();
        const size_t requests = CountRequests(library.Entry(), document, row);
        for (size_t at = 0; at < requests; ++at) {
            const std::string what = document.Describe() + " failed at " + Ordinal(at, requests);
            cases.Run(what, [&] {
                ProbeHost host(library.Entry(), document);
                host.Record().maxData = row;
                ExpectHostErrorAt(host, at, int16_t(-1000 - int(at)), what);
            });
        }
    }
    cases.Finish();
}

void MissingAdvanceState(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 4, 2));
    host.Record().advanceState = nullptr;
    ExpectFailure(host.Export().result, "no advanceState: the export's result");
    ExpectRegionEmpty(host.Record(), "no advanceState");
}

Document ShortRowDocument() {
    return MakeDocument(plugInModeRGB48, 16, 4, 10, 2);
}

// The delivery ends where the reported rowBytes says, so reading the whole row anyway faults.
void ShortRowBytes(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const Document document = ShortRowDocument();
    const int32_t rowBytes = int32_t(document.PixelBytes()) * document.Width();
    for (int32_t shortBy : {1, rowBytes / 2, rowBytes}) {
        const std::string what = "rowBytes " + std::to_string(shortBy) + " short of the region's rows";
        ProbeHost host(library.Entry(), document);
        host.Behaviour().rowBytesShortBy = shortBy;
        ExpectFailure(host.Export().result, what + ": the export's result");
        ExpectEqual(long(host.Requests().size()), 1, what + ": requests");
        ExpectRegionEmpty(host.Record(), what);
    }
}

// Our plug-in's own codes where the interface only asks for a failure.
void ResultCodes(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    {
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 4, 2));
        host.Record().advanceState = nullptr;
        ExpectResult(host.Export().result, exportErrParam, "no advanceState: the export's result");
    }
    const Document document = ShortRowDocument();
    const int32_t rowBytes = int32_t(document.PixelBytes()) * document.Width();
    for (int32_t shortBy : {1, rowBytes / 2}) {
        ProbeHost host(library.Entry(), document);
        host.Behaviour().rowBytesShortBy = shortBy;
        ExpectResult(host.Export().result, exportErrParam,
                     "rowBytes " + std::to_string(shortBy) + " short: the export's result");
    }
}

void MissingProgressAndAbort(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int variant = 0; variant < 3; ++variant) {
        const std::string what = variant == 0 ? "no progressProc" : variant == 1 ? "no abortProc" : "neither";
        ProbeHost host(library.Entry(), MakeDocument(plugInModeGray16, 16, 2, 6, 3));
        if (variant != 1) {
            host.Record().progressProc = nullptr;
        }
        if (variant != 0) {
            host.Record().abortProc = nullptr;
        }
        ExpectExported(host.Export(), host, sandbox, what);
    }
}

} // namespace

std::vector<Check> TransferChecks() {
    return {
        {"region-requests",
         "Regions asked for lie inside the document, name planes it has and stay within maxData, and the "
         "files they make are correct (wide rows, extra planes, every depth).",
         RegionRequests, Level::Contract},
        {"single-row-requests",
         "Requests are one row each, at most 10000 pixels wide, planes 0 to planes-1, covering every row "
         "from the top and every column left to right exactly once.",
         SingleRowRequests, Level::Reference},
        {"progress-reports",
         "progressProc gets the row count as total and a row index as done that never goes back and ends at "
         "the last row.",
         ProgressReports, Level::Recommended},
        {"progress-per-row",
         "progressProc is called once per row, in order, with the row's index and the row count, after that "
         "row's requests.",
         ProgressPerRow, Level::Reference},
        {"cancel",
         "abortProc answering true after the first, a middle and the last of at least three requests "
         "(maxData "
         "of one row) ends the export with -128 within one more request, with an empty region.",
         Cancel, Level::Recommended},
        {"host-error",
         "advanceState failing with a host code (-36, -9999, 17) at the first, a middle and the last of at "
         "least three requests (maxData of one row) ends the export with that code, no further request and "
         "an "
         "empty region.",
         HostError, Level::Contract},
        {"host-error-each-request",
         "advanceState failing at each request in turn, for small documents of every depth, ends the export "
         "with the host's code at that request.",
         HostErrorEachRequest, Level::Contract},
        {"missing-advance-state", "A host without advanceState gets a failure and an empty region.",
         MissingAdvanceState, Level::Contract},
        {"short-row-bytes",
         "A rowBytes too small for the requested pixels (by 1 byte, by half, 0) fails the export without "
         "reading past it.",
         ShortRowBytes, Level::Contract},
        {"missing-progress-and-abort",
         "A host without progressProc, without abortProc or without both still gets a correct export.",
         MissingProgressAndAbort, Level::Contract},
        {"result-codes", "No advanceState and a rowBytes short by 1 byte or by half give -50.", ResultCodes,
         Level::Reference},
    };
}

} // namespace validate

// The transfer inside Start: which regions are asked for, progress, cancelling, the host's own failures,
// and hosts that lack a routine or under-report rowBytes.
#include "CheckSupport.h"

#include <chrono>

namespace validate {
namespace {

using std::chrono::milliseconds;

// Long enough for a launched companion to have run: it starts within milliseconds.
constexpr milliseconds kLaunchWait{300};
constexpr int32_t kMaxRequestPixels = 10000;

// Three requests a row (25000 columns) over three rows: nine chunks, the last one of each row short.
Document Chunked() {
    return MakeDocument(plugInModeRGBColor, 8, 3, 25000, 3, "Chunked.psd");
}

std::string Ordinal(size_t chunk) {
    return chunk == 0 ? "the first chunk" : chunk == 8 ? "the last chunk" : "chunk " + std::to_string(chunk);
}

// Rows from the top, each row's columns left to right without gap or overlap, one row a request, no wider
// than 10000 pixels, every plane.
void ExpectCovering(const std::vector<Event>& requests, const Document& d) {
    const std::string what = d.Describe();
    int32_t row = 0;
    int32_t column = 0;
    for (const Event& r : requests) {
        const std::string next = "row " + std::to_string(row) + " from column " + std::to_string(column);
        Expect(row < d.height, what + ": a request", "none after the last row", DescribeRequest(r));
        Expect(r.rect.top == row && r.rect.bottom == row + 1 && r.rect.left == column &&
                   r.rect.right > column && r.rect.right <= d.width,
               what + ": the next request", "one row: " + next, DescribeRequest(r));
        Expect(r.rect.right - r.rect.left <= kMaxRequestPixels, what + ": the request's width",
               "at most " + std::to_string(kMaxRequestPixels) + " pixels", DescribeRequest(r));
        Expect(r.loPlane == 0 && r.hiPlane == d.planes - 1, what + ": the request's planes",
               "0.." + std::to_string(d.planes - 1), DescribeRequest(r));
        column = r.rect.right;
        if (column == d.width) {
            ++row;
            column = 0;
        }
    }
    Expect(row == d.height, what + ": the requests", "every row",
           "they stopped at row " + std::to_string(row));
}

void RegionRequests(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document :
         {Chunked(), MakeDocument(plugInModeGray16, 16, 2, 10001, 3),
          MakeDocument(plugInModeRGB96, 32, 4, 7501, 2), MakeDocument(plugInModeGray32, 32, 1, 3, 4)}) {
        ProbeHost host(library.Entry(), document);
        const ExportRun run = host.Export();
        Expect(host.Refusal().empty(), document.Describe() + ": the requests", "regions of the document",
               host.Refusal());
        ExpectResult(run.result, exportNoErr, document.Describe() + ": the export's result");
        ExpectCovering(host.Requests(), document);
    }
}

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
                Expect(e.done == row && e.total == document.height && requested,
                       what + ": the next progress report",
                       std::to_string(row) + " of " + std::to_string(document.height) +
                           " after that row's requests",
                       std::to_string(e.done) + " of " + std::to_string(e.total) +
                           (requested ? "" : " before any request of the row"));
                ++row;
                requested = false;
            }
        }
        ExpectEqual(row, document.height, what + ": progress reports");
    }
}

// The host stops the export at chunk k of nine, by abortProc or by failing advanceState: the plug-in asks
// for nothing more, answers the host's code, empties the region and starts no companion.
template <typename Arrange>
void StopAt(const CheckContext& context, int16_t expected(size_t), Arrange arrange) {
    Sandbox sandbox(context.scratch, Companion::Recording);
    host::PluginLibrary library(context.plugin);
    for (size_t chunk : {size_t(0), size_t(4), size_t(8)}) {
        ProbeHost host(library.Entry(), Chunked());
        arrange(host.Behaviour(), chunk);
        const ExportRun run = host.Export();
        ExpectResult(run.result, expected(chunk), "stopped at " + Ordinal(chunk) + ": the export's result");
        ExpectEqual(long(host.Requests().size()), long(chunk + 1),
                    "stopped at " + Ordinal(chunk) + ": requests");
        ExpectRegionEmpty(host.Record(), "stopped at " + Ordinal(chunk));
    }
    Expect(!sandbox.Launched(kLaunchWait), "after the stopped exports: the companion", "not started",
           "started");
}

void Cancel(const CheckContext& context) {
    StopAt(
        context, [](size_t) { return int16_t(exportErrUserCanceled); },
        [](Misbehaviour& m, size_t chunk) { m.cancelAfter = chunk; });
}

const int16_t kHostCodes[] = {-36, -9999, 17};

int16_t HostCode(size_t chunk) {
    return kHostCodes[chunk / 4];
}

void HostError(const CheckContext& context) {
    StopAt(context, HostCode, [](Misbehaviour& m, size_t chunk) {
        m.failAt = chunk;
        m.failCode = HostCode(chunk);
    });
}

void MissingAdvanceState(const CheckContext& context) {
    Sandbox sandbox(context.scratch, Companion::Recording);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 4, 2));
    host.Record().advanceState = nullptr;
    ExpectResult(host.Export().result, exportErrParam, "no advanceState: the export's result");
    ExpectRegionEmpty(host.Record(), "no advanceState");
    Expect(!sandbox.Launched(kLaunchWait), "no advanceState: the companion", "not started", "started");
}

// The delivery ends where the reported rowBytes says, so reading the whole row anyway faults.
void ShortRowBytes(const CheckContext& context) {
    Sandbox sandbox(context.scratch, Companion::Recording);
    host::PluginLibrary library(context.plugin);
    const Document document = MakeDocument(plugInModeRGB48, 16, 4, 10, 2);
    const int32_t rowBytes = int32_t(document.PixelBytes()) * document.width;
    for (int32_t shortBy : {1, rowBytes / 2, rowBytes}) {
        const std::string what = "rowBytes " + std::to_string(rowBytes - shortBy) + " for a row of " +
                                 std::to_string(rowBytes) + " bytes";
        ProbeHost host(library.Entry(), document);
        host.Behaviour().rowBytesShortBy = shortBy;
        const int16_t result = host.Export().result;
        if (shortBy < rowBytes) {
            ExpectResult(result, exportErrParam, what + ": the export's result");
        } else {
            Expect(result != exportNoErr, what + ": the export's result", "a failure", Code(result));
        }
        ExpectEqual(long(host.Requests().size()), 1, what + ": requests");
        ExpectRegionEmpty(host.Record(), what);
    }
    Expect(!sandbox.Launched(kLaunchWait), "after the refused rows: the companion", "not started", "started");
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
         "Requests are one row each, inside the document, at most 10000 pixels wide, planes 0 to planes-1, "
         "covering "
         "every row from the top and every column left to right exactly once.",
         RegionRequests},
        {"progress-per-row",
         "progressProc is called once per row, in order, with the row's index and the row count, after that "
         "row's "
         "requests.",
         ProgressPerRow},
        {"cancel",
         "abortProc answering true after the first, a middle and the last chunk ends the export with -128, "
         "no "
         "further request, an empty region and no companion launch.",
         Cancel},
        {"host-error",
         "advanceState failing with a host code (-36, -9999, 17) at the first, a middle and the last chunk "
         "ends the "
         "export with that code, no further request, an empty region and no companion launch.",
         HostError},
        {"missing-advance-state",
         "A host without advanceState gets -50, an empty region and no companion launch.",
         MissingAdvanceState},
        {"short-row-bytes",
         "A rowBytes too small for the requested pixels (by 1 byte, by half, 0) is refused (-50 when not 0) "
         "without "
         "reading past it, and nothing is launched.",
         ShortRowBytes},
        {"missing-progress-and-abort",
         "A host without progressProc, without abortProc or without both still gets a correct export.",
         MissingProgressAndAbort},
    };
}

} // namespace validate

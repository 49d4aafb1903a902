#include "CheckSupport.h"

#include "ResultCodes.h"

#include <algorithm>

namespace validate {
namespace {

std::string List(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text.empty() ? "nothing" : text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void ExpectFileBytes(const Sandbox& sandbox, const Document& document, const std::string& name,
                     const std::string& what) {
    const std::string difference = FirstDifference(sandbox.ReadExport(name), document);
    Expect(difference.empty(), what + ": " + name + " of a " + document.Describe() + " document",
           "the bytes computed from the delivered samples", difference);
}

} // namespace

std::string Code(int16_t code) {
    if (code == ProbeHost::kUntouched) {
        return "the result left untouched";
    }
    return std::to_string(code) + " (" + host::DescribeResult(code) + ")";
}

void ExpectResult(int16_t seen, int16_t expected, const std::string& what) {
    Expect(seen == expected, what, Code(expected), Code(seen));
}

void ExpectFailure(int16_t seen, const std::string& what) {
    Expect(seen != exportNoErr && seen != ProbeHost::kUntouched, what, "a failure (a non-zero code)",
           Code(seen));
}

void ExpectExportFile(const Sandbox& sandbox, const Document& document, const std::string& what) {
    const std::string extension = document.Depth() == 32 ? ".pfm" : ".ppm";
    const std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries.size() == 1 && EndsWith(entries.front(), extension), what + ": the export folder",
           "one " + extension + " file", List(entries));
    ExpectFileBytes(sandbox, document, entries.front(), what);
}

void ExpectExportFileNamed(const Sandbox& sandbox, const Document& document, const std::string& what) {
    const std::string name = ExpectedName(document.Name(), document.Depth());
    const std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries == std::vector<std::string>{name}, what + ": the export folder", "only " + name,
           List(entries));
    ExpectFileBytes(sandbox, document, name, what);
}

size_t CountRequests(ExportPluginEntry entry, const Document& document) {
    ProbeHost host(entry, document);
    const ExportRun run = host.Export();
    ExpectResult(run.result, exportNoErr, "a clean export of " + document.Describe());
    return std::max<size_t>(1, host.Requests().size());
}

void ExpectExported(const ExportRun& run, const ProbeHost& host, const Sandbox& sandbox,
                    const std::string& what) {
    ExpectResult(run.result, exportNoErr, what + ": the export's result");
    Expect(host.Refusal().empty(), what + ": the requests", "only regions of the document", host.Refusal());
    ExpectExportFile(sandbox, host.Doc(), what);
}

void ExpectNoExportFile(const Sandbox& sandbox, const std::string& what) {
    std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries.empty(), what + ": the export folder", "no file", List(entries));
}

void ExpectRegionEmpty(const ExportRecord& record, const std::string& what) {
    const VRect& r = record.theRect32;
    Expect(r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0, what + ": theRect32 after the call",
           "0,0,0,0 (no region wanted)",
           std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
               std::to_string(r.right));
}

std::vector<Document> SupportedDocuments(int16_t depth) {
    const int16_t grayModes[] = {plugInModeGrayScale, plugInModeGray16, plugInModeGray32};
    const int16_t rgbModes[] = {plugInModeRGBColor, plugInModeRGB48, plugInModeRGB96};
    std::vector<Document> documents;
    for (int16_t mode : grayModes) {
        for (int16_t planes : {1, 2}) {
            documents.push_back(
                MakeDocument(mode, depth, planes, 5, 3,
                             "Gray " + std::to_string(mode) + "-" + std::to_string(planes) + ".psd"));
        }
    }
    for (int16_t mode : rgbModes) {
        for (int16_t planes : {3, 4, 5}) {
            documents.push_back(
                MakeDocument(mode, depth, planes, 4, 3,
                             "RGB " + std::to_string(mode) + "-" + std::to_string(planes) + ".tif"));
        }
    }
    // Rows longer than one request can hold: split into runs, the last one short.
    documents.push_back(MakeDocument(grayModes[0], depth, 1, 10007, 2, "Wide gray.psd"));
    documents.push_back(MakeDocument(rgbModes[0], depth, 5, 6007, 2, "Wide RGBA+.psd"));
    return documents;
}

} // namespace validate

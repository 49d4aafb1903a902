#include "CheckSupport.h"

#include "ResultCodes.h"

#include <algorithm>
#include <map>
#include <optional>

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

bool IsText(uint8_t c) {
    return (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t' || c == '\r';
}

std::string Hex(uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 15];
}

// The line of text around offset, when everything up to the end of that line is text.
std::optional<std::string> TextLine(const std::vector<uint8_t>& bytes, size_t offset) {
    const size_t start =
        std::find(std::make_reverse_iterator(bytes.begin() + long(std::min(offset, bytes.size()))),
                  bytes.rend(), uint8_t('\n'))
            .base() -
        bytes.begin();
    const auto end = std::find(bytes.begin() + long(start), bytes.end(), uint8_t('\n'));
    if (end == bytes.end() || !std::all_of(bytes.begin(), end, IsText)) {
        return std::nullopt;
    }
    return std::string(bytes.begin() + long(start), end);
}

void ExpectFileBytes(const Sandbox& sandbox, const Document& document, const std::string& name,
                     const std::string& what) {
    const std::vector<uint8_t> bytes = sandbox.ReadExport(name);
    const std::vector<uint8_t> expected = ExpectedFile(document);
    // Header lines are shown as lines, samples by their place in the image.
    std::string difference = CompareBytes(expected, bytes);
    if (difference.find("line ") != 0) {
        difference = FirstDifference(bytes, document);
    }
    Expect(difference.empty(), what + ": " + name + " of a " + document.Describe() + " document",
           "the bytes computed from the delivered samples", difference);
}

} // namespace

std::string CompareBytes(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& seen) {
    const auto [a, b] = std::mismatch(expected.begin(), expected.end(), seen.begin(), seen.end());
    if (a == expected.end() && b == seen.end()) {
        return "";
    }
    const size_t at = size_t(a - expected.begin());
    const std::optional<std::string> want = TextLine(expected, at);
    const std::optional<std::string> got = TextLine(seen, at);
    if (want && got) {
        const size_t line = size_t(std::count(expected.begin(), a, uint8_t('\n'))) + 1;
        return "line " + std::to_string(line) + " is \"" + *got + "\" instead of \"" + *want + "\"";
    }
    if (a == expected.end() || b == seen.end()) {
        return std::to_string(seen.size()) + " bytes instead of " + std::to_string(expected.size());
    }
    return "byte " + std::to_string(at) + " is " + Hex(*b) + " instead of " + Hex(*a);
}

std::string CompareFiles(const Files& expected, const Files& seen) {
    for (const auto& [name, bytes] : expected) {
        if (seen.count(name) == 0) {
            return name + " is missing";
        }
    }
    for (const auto& [name, bytes] : seen) {
        if (expected.count(name) == 0) {
            return name + " is there besides " +
                   (expected.empty() ? std::string("nothing") : expected.begin()->first);
        }
        const std::string difference = CompareBytes(expected.at(name), bytes);
        if (!difference.empty()) {
            return name + ": " + difference;
        }
    }
    return "";
}

const Produced& PlainExport(ExportPluginEntry entry, const Document& document,
                            const std::filesystem::path& scratch) {
    static std::map<std::string, Produced> made;
    const std::string key = document.Describe() + "|" + document.Name();
    const auto found = made.find(key);
    if (found != made.end()) {
        return found->second;
    }
    // Beside the check's folder under a name of the same length, so that paths the plug-in cuts to a limit
    // are cut alike.
    std::string twin = scratch.filename().string();
    twin[0] = twin[0] == '~' ? '=' : '~';
    Sandbox sandbox(scratch.parent_path() / twin);
    ProbeHost host(entry, document, host::DeliveryMemory::Copy);
    const ExportRun run = host.Export();
    Produced produced{run.result, host.Refusal(), sandbox.Outputs()};
    sandbox.ClearOutputs();
    return made.emplace(key, std::move(produced)).first->second;
}

void ExpectWorked(const ExportRun& run, const ProbeHost& host, const std::string& what) {
    Expect(host.Refusal().empty(), what + ": the requests", "only regions of the document within maxData",
           "a request the host refused: " + host.Refusal());
    ExpectResult(run.result, exportNoErr, what + ": the export's result");
}

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

void ExpectOurFile(const Sandbox& sandbox, const Document& document, const std::string& what) {
    const std::string extension = document.Depth() == 32 ? ".pfm" : ".ppm";
    const std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries.size() == 1 && EndsWith(entries.front(), extension), what + ": the export folder",
           "one " + extension + " file", List(entries));
    ExpectFileBytes(sandbox, document, entries.front(), what);
}

void ExpectOurFileNamed(const Sandbox& sandbox, const Document& document, const std::string& what) {
    const std::string name = ExpectedName(document.Name(), document.Depth());
    const std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries == std::vector<std::string>{name}, what + ": the export folder", "only " + name,
           List(entries));
    ExpectFileBytes(sandbox, document, name, what);
}

size_t CountRequests(ExportPluginEntry entry, const Document& document, int32_t maxData) {
    ProbeHost host(entry, document);
    host.Record().maxData = maxData;
    const ExportRun run = host.Export();
    ExpectWorked(run, host, "a clean export of " + document.Describe());
    return std::max<size_t>(1, host.Requests().size());
}

void ExpectExported(const ExportRun& run, const ProbeHost& host, const Sandbox& sandbox,
                    const std::string& what) {
    ExpectWorked(run, host, what);
    const Files seen = sandbox.Outputs();
    const Produced& plain = PlainExport(host.Plugin(), host.Doc(), sandbox.Scratch());
    Expect(plain.refusal.empty() && plain.result == exportNoErr,
           what + ": a plain export of the same document", "success",
           plain.refusal.empty() ? Code(plain.result) : "a request the host refused: " + plain.refusal);
    const std::string difference = CompareFiles(plain.files, seen);
    Expect(difference.empty(), what + ": what the export left",
           "the same files as a plain export of the document (rows copied, unpadded, aligned)", difference);
}

void ExpectNoOutput(const Sandbox& sandbox, const std::string& what) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : sandbox.Outputs()) {
        names.push_back(name);
    }
    Expect(names.empty(), what + ": files left", "none", List(names));
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

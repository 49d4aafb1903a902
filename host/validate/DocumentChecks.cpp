// The documents themselves: every supported kind exported byte for byte, every unsupported one refused, the
// file's name, repeatability, and deliveries placed against guard pages.
#include "CheckSupport.h"

#include <filesystem>
#include <tuple>

namespace validate {
namespace {

constexpr size_t kPathLimit = 255;

// The depth of the samples the mode's name promises.
int16_t ModeDepth(int16_t mode) {
    return mode == plugInModeGrayScale || mode == plugInModeRGBColor ? 8
           : mode == plugInModeGray16 || mode == plugInModeRGB48     ? 16
                                                                     : 32;
}

// Every document kind of the depth exported in guarded deliveries, compared with a plain export of it. A mode
// of another depth's family may be refused (the interface lets the plug-in choose), with a warning.
void ExportAll(const CheckContext& context, int16_t depth) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (const Document& document : SupportedDocuments(depth)) {
        cases.Run(document.Describe(), [&] {
            ProbeHost host(library.Entry(), document);
            const ExportRun run = host.Export();
            if (ModeDepth(document.Mode()) != depth && run.prepare == exportErrUnsupportedDocument) {
                Warn(document.Describe() + ": refused with " + Code(run.prepare) +
                     "; this project's plug-in exports it, the depth deciding");
                return;
            }
            ExpectExported(run, host, sandbox, document.Describe());
        });
    }
    cases.Finish();
}

// This project's own file for every document kind of every depth.
void OurFileFormat(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (int16_t depth : {8, 16, 32}) {
        for (const Document& document : SupportedDocuments(depth)) {
            cases.Run(document.Describe(), [&] {
                ProbeHost host(library.Entry(), document);
                ExpectWorked(host.Export(), host, document.Describe());
                ExpectOurFile(sandbox, document, document.Describe());
            });
        }
    }
    cases.Finish();
}

// The smallest documents: 1x1, one row, one column, of every depth.
void TinyDocuments(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (const auto& [mode, depth, planes] : {std::tuple<int16_t, int16_t, int16_t>{plugInModeRGBColor, 8, 3},
                                              {plugInModeGray16, 16, 1},
                                              {plugInModeRGB96, 32, 4}}) {
        for (const auto& [width, height] : {std::pair<int32_t, int32_t>{1, 1}, {23, 1}, {1, 19}}) {
            const Document document = MakeDocument(mode, depth, planes, width, height, "Tiny.psd");
            cases.Run(document.Describe(), [&] {
                ProbeHost host(library.Entry(), document);
                ExpectExported(host.Export(), host, sandbox, document.Describe());
            });
        }
    }
    cases.Finish();
}

// Documents without pixels: refused or exported as the plug-in sees fit, but answered, and without a
// request for pixels that are not there. The check's own time limit catches a plug-in that never answers.
void EmptyDocuments(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (const auto& [width, height] : {std::pair<int32_t, int32_t>{0, 0}, {0, 5}, {5, 0}}) {
        const Document document = MakeDocument(plugInModeRGBColor, 8, 3, width, height, "Empty.psd");
        const std::string what = "an empty document " + std::to_string(width) + "x" + std::to_string(height);
        cases.Run(what, [&] {
            ProbeHost host(library.Entry(), document);
            const ExportRun run = host.Export();
            if (!host.Requests().empty()) {
                Fail(what + ": requests", "none",
                     std::to_string(host.Requests().size()) + ", the first " +
                         DescribeRequest(host.Requests().front()));
            }
            ExpectRegionEmpty(host.Record(), what);
            if (run.result != exportNoErr) {
                ExpectNoOutput(sandbox, what + " refused");
            }
        });
    }
    cases.Finish();
}

void UnsupportedDocuments(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    std::vector<Document> documents;
    for (int16_t mode : {0, 2, 4, 7, 8, 9, 12, 13, 15, 18, -1}) {
        for (int16_t depth : {8, 16, 32}) {
            documents.push_back(MakeDocument(mode, depth, 3, 2, 2));
        }
    }
    for (int16_t mode : {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16, plugInModeRGB48,
                         plugInModeGray32, plugInModeRGB96}) {
        for (int16_t depth : {0, 1, 24, 64, -8}) {
            documents.push_back(MakeDocument(mode, depth, 3, 2, 2));
        }
        for (int16_t planes :
             IsRGBMode(mode) ? std::vector<int16_t>{2, 1, 0, -3} : std::vector<int16_t>{0, -1}) {
            documents.push_back(MakeDocument(mode, 8, planes, 2, 2));
        }
    }
    for (const Document& document : documents) {
        const std::string what = document.Describe();
        ProbeHost host(library.Entry(), document);
        ExpectResult(host.Call(exportSelectorPrepare), exportErrUnsupportedDocument, what + ": Prepare");
        ExpectEqual(host.Record().PluginUsing32BitCoordinates, 0, what + ": PluginUsing32BitCoordinates");
        ExpectEqual(host.Record().maxData, ProbeHost::kOfferedMaxData, what + ": maxData");
        Expect(host.Events().empty(), what + ": calls of the host's routines", "none", "some");
        ExpectNoOutput(sandbox, what);
    }
}

// A name too long for the path: the file lies in the export folder within the path limit, named by a
// shortened stem with its extension, or by the path cut at the limit.
void ExpectLongName(const Sandbox& sandbox, const Document& document, const std::string& expected) {
    const std::vector<std::string> entries = sandbox.ExportEntries();
    Expect(entries.size() == 1, "a 255-byte name: the export folder", "one file",
           std::to_string(entries.size()) + " entries");
    const std::string& name = entries.front();
    const std::string stem = expected.substr(0, expected.size() - 4);
    const std::string extension = expected.substr(expected.size() - 4);
    const bool cut = expected.compare(0, name.size(), name) == 0;
    const bool shortened =
        name.size() > extension.size() &&
        name.compare(name.size() - extension.size(), extension.size(), extension) == 0 &&
        stem.compare(0, name.size() - extension.size(), name, 0, name.size() - extension.size()) == 0;
    Expect((cut || shortened) && (sandbox.ExportFolder() / name).string().size() <= kPathLimit,
           "a 255-byte name: the file's name", "a shortening of " + expected + " within 255 bytes of path",
           name);
    const std::string difference = FirstDifference(sandbox.ReadExport(name), document);
    Expect(difference.empty(), "a 255-byte name: the file's bytes", "the expected bytes", difference);
}

void DocumentNames(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const std::pair<std::string, int16_t> names[] = {{"Sunset Beach.psd", 8},
                                                     {"Sunset Beach.psd", 32},
                                                     {"photo.final.tif", 16},
                                                     {"Untitled-1", 8},
                                                     {"(copy) 2+3", 8},
                                                     {"a/b.c", 8},
                                                     {"../../escape.psd", 8},
                                                     {"/etc/passwd", 8},
                                                     {"...", 8},
                                                     {"Caf\xC3\xA9 \xC3\x9C.psd", 8},
                                                     {"\xE6\x97\xA5\xE6\x9C\xAC.tif", 32},
                                                     {std::string("abc\0def.psd", 11), 8},
                                                     {"tab\tand\nnewline.psd", 8},
                                                     {std::string(255, 'N'), 8},
                                                     {".psd", 8},
                                                     {"", 8},
                                                     {std::string("\0abc", 4), 8}};
    for (const auto& [name, depth] : names) {
        sandbox.ClearOutputs();
        const Document document =
            MakeDocument(depth == 32 ? plugInModeRGB96 : plugInModeRGBColor, depth, 3, 2, 1, name);
        const std::string expected = ExpectedName(name, depth);
        const std::string what = "the document name \"" + name.substr(0, 40) + "\"";
        ProbeHost host(library.Entry(), document);
        const ExportRun run = host.Export();
        if (expected.empty()) {
            ExpectResult(run.result, exportErrParam, what + ": the export's result");
            ExpectNoOutput(sandbox, what);
        } else if ((sandbox.ExportFolder() / expected).string().size() > kPathLimit) {
            ExpectResult(run.result, exportNoErr, what + ": the export's result");
            ExpectLongName(sandbox, document, expected);
        } else {
            ExpectResult(run.result, exportNoErr, what + ": the export's result");
            ExpectOurFileNamed(sandbox, document, what);
        }
    }
    // Only the bytes the length byte counts are the name.
    sandbox.ClearOutputs();
    ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 2, 1, "abc"));
    const std::string beyond = "XYZ.psd";
    std::copy(beyond.begin(), beyond.end(), host.Record().filename + 4);
    ExpectResult(host.Export().result, exportNoErr, "a name with bytes after its length: the result");
    ExpectOurFileNamed(sandbox, host.Doc(), "a name with bytes after its length");
}

// Names that fill the record's 255 bytes: plain, with an extension, of two-byte characters, of dots.
void NameAtLimit(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    std::string twoByte;
    while (twoByte.size() < 254) {
        twoByte += "\xC3\xA9";
    }
    std::string dotted;
    while (dotted.size() < 255) {
        dotted += dotted.size() % 4 == 3 ? '.' : 'd';
    }
    for (const std::string& name :
         {std::string(255, 'N'), std::string(251, 'E') + ".psd", twoByte + "x", dotted.substr(0, 255)}) {
        sandbox.ClearOutputs();
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGB48, 16, 3, 3, 2, name));
        ExpectEqual(host.Record().filename[0], 255, "the name's length byte");
        ExpectExported(host.Export(), host, sandbox, "a 255-byte name starting " + name.substr(0, 12));
    }
}

void RepeatableExport(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : {MakeDocument(plugInModeRGB48, 16, 4, 9, 4, "Again.psd"),
                                     MakeDocument(plugInModeGray32, 32, 1, 7, 3, "Again.psd")}) {
        ProbeHost host(library.Entry(), document);
        ExpectWorked(host.Export(), host, document.Describe() + ": the first export");
        const Files first = sandbox.Outputs();
        ExpectWorked(host.Export(), host, document.Describe() + ": the second export");
        const std::string difference = CompareFiles(first, sandbox.Outputs());
        Expect(difference.empty(), document.Describe() + ": the second export's files", "those of the first",
               difference);
    }
}

// Every delivery ends at a page boundary before an unmapped page, is read-only and lies at a fresh address
// (see ProbeHost); here rows of many small widths, so the last byte of a run lands on every offset of a
// pixel.
void GuardPages(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int16_t depth : {8, 16, 32}) {
        const int16_t gray = depth == 8    ? plugInModeGrayScale
                             : depth == 16 ? plugInModeGray16
                                           : plugInModeGray32;
        const int16_t rgb = depth == 8 ? plugInModeRGBColor : depth == 16 ? plugInModeRGB48 : plugInModeRGB96;
        for (const auto& [mode, planes] :
             {std::pair<int16_t, int16_t>{gray, 1}, {gray, 2}, {rgb, 3}, {rgb, 4}}) {
            for (int32_t width : {1, 3, 7}) {
                // Tall enough for several requests of any plug-in, so that one that reads an earlier
                // delivery does so after it is gone.
                const Document document = MakeDocument(mode, depth, planes, width, 37);
                Note(document.Describe());
                ProbeHost host(library.Entry(), document);
                ExpectExported(host.Export(), host, sandbox, document.Describe());
            }
        }
    }
}

} // namespace

std::vector<Check> DocumentChecks() {
    return {
        {"export-8-bit",
         "Every 8-bit document kind (each mode constant, gray with 1-2 planes, RGB with 3-5, rows longer "
         "than one request), delivered in guarded memory, leaves what a plain export of it leaves; a mode of "
         "another depth may be refused (a warning).",
         [](const CheckContext& context) { ExportAll(context, 8); }, Level::Contract},
        {"tiny-documents",
         "Documents of 1x1 pixel, one row and one column, of every depth, export as a plain export of them "
         "does.",
         TinyDocuments, Level::Contract},
        {"empty-documents",
         "Documents of 0x0, 0x5 and 5x0 pixels are answered within 10 s, without a request for pixels, with "
         "an "
         "empty region, and leave no file when refused.",
         EmptyDocuments, Level::Contract, 10},
        {"export-16-bit",
         "Every 16-bit document kind, delivered in guarded memory, leaves what a plain export of it leaves; "
         "a "
         "mode of another depth may be refused (a warning).",
         [](const CheckContext& context) { ExportAll(context, 16); }, Level::Contract},
        {"export-32-bit",
         "Every 32-bit document kind, delivered in guarded memory, leaves what a plain export of it leaves; "
         "a "
         "mode of another depth may be refused (a warning).",
         [](const CheckContext& context) { ExportAll(context, 32); }, Level::Contract},
        {"reference-file-format",
         "This project's file: every document kind of every depth gives one .ppm (8, 16 bits) or .pfm (32 "
         "bits) in $TMPDIR/QuenfieldImport, equal byte for byte to one computed from the delivered samples "
         "(16-bit host range 0..32768 mapped to 0..65535, float bits unchanged).",
         OurFileFormat, Level::Reference},
        {"unsupported-documents",
         "Unknown modes, depths other than 8, 16 and 32, and too few planes are refused by Prepare with "
         "-30201, with the record untouched, no request and no file.",
         UnsupportedDocuments, Level::Contract},
        {"document-names",
         "File names follow the naming rules for plain, dotted, slashed, non-ASCII, control-character, "
         "NUL-bearing, 255-byte and empty document names; names that leave nothing fail with -50 and no "
         "file.",
         DocumentNames, Level::Reference},
        {"document-name-at-limit",
         "Document names of the full 255 bytes (plain, with an extension, of two-byte characters, of dots) "
         "give one correct file.",
         NameAtLimit, Level::Contract},
        {"repeatable-export", "The same export twice leaves the same files, byte for byte.", RepeatableExport,
         Level::Contract},
        {"guard-pages",
         "Deliveries that end at a page boundary before an unmapped page, read-only, each at an address no "
         "earlier one had, for every depth, plane count and small widths, are neither read past, nor "
         "written, "
         "nor read once replaced (a fault crashes the check and is named).",
         GuardPages, Level::Contract},
    };
}

} // namespace validate

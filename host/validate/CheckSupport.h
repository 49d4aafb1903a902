// What many checks share: a loaded plug-in in a sandbox, and the expectations on a finished export.
#ifndef QUENFIELD_VALIDATE_CHECKSUPPORT_H
#define QUENFIELD_VALIDATE_CHECKSUPPORT_H

#include "Check.h"
#include "Documents.h"
#include "ProbeHost.h"
#include "Sandbox.h"

#include "PluginLibrary.h"

#include <filesystem>
#include <string>
#include <vector>

namespace validate {

// A code with its meaning: "-128 (cancelled by the user)".
std::string Code(int16_t code);
void ExpectResult(int16_t seen, int16_t expected, const std::string& what);

void ExpectFailure(int16_t seen, const std::string& what);

// What one export made: its result, why the host refused a request (empty when it refused none), and every
// file it left in the sandbox.
struct Produced {
    int16_t result = 0;
    std::string refusal;
    Files files;
};

// Where two sets of files differ, in words ("" when they do not): a name only one has, or the first
// difference of a file, as header lines while it lies in a text header.
std::string CompareFiles(const Files& expected, const Files& seen);
std::string CompareBytes(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& seen);

// The document exported the plainest way, in a sandbox of its own beside the check's (scratch): rows copied,
// without padding, at aligned addresses, the offered maxData. Made once per document and process.
const Produced& PlainExport(ExportPluginEntry entry, const Document& document,
                            const std::filesystem::path& scratch);

// No request was refused by the host (else its reason is the failure) and the export answered 0.
void ExpectWorked(const ExportRun& run, const ProbeHost& host, const std::string& what);
// A whole export that worked and left exactly what a plain export of the same document leaves, whatever
// and wherever that is: the plug-in compared with itself.
void ExpectExported(const ExportRun& run, const ProbeHost& host, const Sandbox& sandbox,
                    const std::string& what);
// The sandbox holds no file.
void ExpectNoOutput(const Sandbox& sandbox, const std::string& what);

// This project's own file: the export folder holds exactly one file, with the extension of the document's
// format (".ppm" or ".pfm") and the bytes expected from the delivered samples; the rest of its name is the
// plug-in's choice.
void ExpectOurFile(const Sandbox& sandbox, const Document& document, const std::string& what);
// The same, under the name the naming rules give (ExpectedName).
void ExpectOurFileNamed(const Sandbox& sandbox, const Document& document, const std::string& what);
// After Start, no region is wanted: theRect32 is all 0.
void ExpectRegionEmpty(const ExportRecord& record, const std::string& what);

// The number of requests a clean export of the document takes with the given maxData offered (at least
// one), so that a check can act at the first, a middle and the last of them whatever the plug-in's way of
// asking.
size_t CountRequests(ExportPluginEntry entry, const Document& document, int32_t maxData);

// The documents of one depth that the protocol lets a plug-in export, in small sizes: every mode constant
// of that depth's family and of the other families (the depth decides, not the mode), gray with 1 and 2
// planes, RGB with 3, 4 and 5, and one row wider than a conversion run.
std::vector<Document> SupportedDocuments(int16_t depth);

} // namespace validate

#endif

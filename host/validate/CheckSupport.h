// What many checks share: a loaded plug-in in a sandbox, and the expectations on a finished export.
#ifndef QUENFIELD_VALIDATE_CHECKSUPPORT_H
#define QUENFIELD_VALIDATE_CHECKSUPPORT_H

#include "Check.h"
#include "Documents.h"
#include "ProbeHost.h"
#include "Sandbox.h"

#include "PluginLibrary.h"

#include <string>
#include <vector>

namespace validate {

// A code with its meaning: "-128 (cancelled by the user)".
std::string Code(int16_t code);
void ExpectResult(int16_t seen, int16_t expected, const std::string& what);

void ExpectFailure(int16_t seen, const std::string& what);

// The export folder holds exactly one file, with the extension of the document's format (".ppm" or ".pfm")
// and the bytes expected from the delivered samples; the rest of its name is the plug-in's choice.
void ExpectExportFile(const Sandbox& sandbox, const Document& document, const std::string& what);
// The same, under the name the naming rules give (ExpectedName).
void ExpectExportFileNamed(const Sandbox& sandbox, const Document& document, const std::string& what);
// A whole export that succeeded and left the document's file.
void ExpectExported(const ExportRun& run, const ProbeHost& host, const Sandbox& sandbox,
                    const std::string& what);
// The export folder holds no file.
void ExpectNoExportFile(const Sandbox& sandbox, const std::string& what);
// After Start, no region is wanted: theRect32 is all 0.
void ExpectRegionEmpty(const ExportRecord& record, const std::string& what);

// The number of requests a clean export of the document takes (at least one), so that a check can act at
// the first, a middle and the last of them whatever the plug-in's way of asking.
size_t CountRequests(ExportPluginEntry entry, const Document& document);

// The documents of one depth that the protocol lets a plug-in export, in small sizes: every mode constant
// of that depth's family and of the other families (the depth decides, not the mode), gray with 1 and 2
// planes, RGB with 3, 4 and 5, and one row wider than a conversion run.
std::vector<Document> SupportedDocuments(int16_t depth);

} // namespace validate

#endif

// What the plug-in must do with a scenario, computed here without any of the plug-in's code: which documents
// it accepts, the export file's name and bytes, and the regions and progress reports of one Start.
#ifndef QUENFIELD_FUZZ_EXPECTED_H
#define QUENFIELD_FUZZ_EXPECTED_H

#include "Scenario.h"

#include "ExportInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

enum class Format { None, PPM, PFM };

struct Classification {
    Format format = Format::None;
    bool gray = false;
};

Classification Classify(int16_t mode, int16_t depth, int16_t planes);
// A supported kind with pixels and no more planes than the conversion buffer holds: what Prepare accepts and
// what Start exports.
bool Exportable(const Scenario& s);

// The bytes one sample takes in the host's delivery: 1, 2 or 4.
size_t SampleBytes(int16_t depth);
// Offset of one byte of one sample in the document, whose bytes are Scenario::SampleByte.
size_t SampleOffset(const Scenario& s, int32_t x, int32_t y, int32_t plane, size_t byte);

// The file name for the document's name, empty when none can be made.
std::string ExportName(const std::string& documentName, Format format);
// Folder and name joined within the 255 characters of the plug-in's path field, the stem shortened when
// needed.
std::string FitPath(const std::string& folder, const std::string& name);

struct Region {
    VRect rect;
    int16_t loPlane;
    int16_t hiPlane;
};

struct ProgressReport {
    int32_t done;
    int32_t total;
};

// The disk as the fuzz target arranged it for the plug-in.
struct Setup {
    std::string exportFolder;   // where the export must go; empty when no temporary folder can be had
    bool folderRefused = false; // the export folder is a planted link or another user's
    bool readOnly = false;      // no entry of the export folder can be removed, none added
};

// One Start, from the export folder's preparation to the launch.
struct StartOutcome {
    int16_t result = 0;
    bool cleaned = false;      // the export folder was emptied; otherwise Start left the disk as it was
    bool fileKept = false;     // a finished export's file stays; a failed one leaves none
    std::string path;          // when fileKept
    std::vector<uint8_t> file; // its whole content
    std::vector<Region> requests;
    std::vector<ProgressReport> progress;
};

StartOutcome ExpectStart(const Scenario& s, const Setup& setup);

} // namespace fuzz

#endif

// One fuzz input decoded: the document and record the host presents, how the host behaves, and which
// selectors it calls in which order. Every byte sequence decodes to some scenario; missing bytes read as
// zero.
#ifndef QUENFIELD_FUZZ_SCENARIO_H
#define QUENFIELD_FUZZ_SCENARIO_H

#include "MemoryDocument.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// The host's handle routines as offered in the record.
enum class HandleMode { Host, None, WrongVersion, TooFewRoutines, LockFails };

// What the export folder holds before the selectors run.
enum class FolderState { Absent, Empty, StaleFile, FolderNamedLikeTheFile };

enum class SuiteMode { None, Refusing, UIHooks };

// What TMPDIR names. Private: a folder of the user's own. SharedSticky: a folder anyone may write to, with
// the sticky bit. OpenNonSticky: one anyone may write to without it. Foreign: another user's. Squatted:
// shared and sticky, but another user got there first under the name of the user's private folder, with a
// link to a folder of the victim's or with a folder of their own.
enum class TmpState {
    Private,
    Unset,
    Relative,
    SharedSticky,
    OpenNonSticky,
    Foreign,
    SquattedByLink,
    SquattedByOther
};

// What the export folder is, or what holds the export file's name, when the selectors run. PlantedLink: the
// folder is a link to a folder of the victim's; a read-only folder cannot lose its entries, root's included.
enum class Hazard {
    None,
    PlantedLink,
    ForeignOwned,
    OpenToOthers,
    Fifo,
    HardLink,
    ReadOnly,
    ReadOnlyFifo,
    ReadOnlyHardLink,
    LinkToFile,
    DanglingLink
};

// What the host does when asked for one region.
struct Action {
    enum Kind { Deliver, Fail, Cancel, ShortRowBytes, NullData, LongRowBytes } kind = Deliver;
    int16_t code = 0;  // Fail: the host's non-zero error
    int32_t bytes = 0; // ShortRowBytes, LongRowBytes: bytes fewer or more than the region needs
};

struct Scenario {
    HandleMode handles = HandleMode::Host;
    FolderState folder = FolderState::Absent;
    SuiteMode suite = SuiteMode::None;
    TmpState tmp = TmpState::Private;
    Hazard hazard = Hazard::None;
    int32_t sizeLimit = -1; // RLIMIT_FSIZE during Start, in bytes; -1 for none
    bool advanceState = true;
    bool progressProc = true;
    bool abortProc = true;
    bool companion = false;

    int16_t mode = 0;
    int16_t depth = 0;
    int16_t planes = 0;
    int32_t width = 0;
    int32_t height = 0;
    int16_t size16v = 0; // the 16-bit size, which a plug-in of 32-bit coordinates must not use
    int16_t size16h = 0;
    int32_t maxData = 0;
    int32_t hostSupports32Bit = 0;
    int32_t pluginUsing32Bit = 0;
    std::string filename; // at most 255 bytes

    std::vector<int16_t> selectors;
    std::map<size_t, Action> actions; // by zero-based request index within one Start; Deliver otherwise

    std::vector<uint8_t> samples; // the document's bytes, repeated as often as needed

    Action ActionAt(size_t request) const;
    // The document's sample bytes are a pure function of their offset.
    uint8_t SampleByte(size_t offset) const;
};

// Keeps the document small enough that one input runs in milliseconds, whatever the plane count.
constexpr int32_t iMAX_SIDE = 64;
constexpr size_t uiMAX_SAMPLES = size_t(1) << 18;

Scenario Decode(const uint8_t* data, size_t size);

// The document the host holds for the scenario: its bytes are SampleByte of their offset.
host::MemoryDocument ToDocument(const Scenario& s);

} // namespace fuzz

#endif

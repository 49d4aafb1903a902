#include "FuzzCase.h"

#include "CheckSupport.h"

#include "BasicSuite.h"
#include "ExportedFile.h"
#include "HostHandles.h"

#include <algorithm>
#include <fstream>
#include <random>

namespace validate {
namespace {

using fuzz::Action;
using fuzz::Scenario;

constexpr size_t kRequestsAfterCancel = 1;
const int16_t kSupportedModes[] = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16,
                                   plugInModeRGB48,     plugInModeRGB96,    plugInModeGray32};

// Most random bytes decode to a host no plug-in can export for (HostSupports32BitCoordinates is 1 once in
// 2^32); these steps make most cases reach the transfer while leaving the rest as decoded.
void Steer(Scenario& s, std::mt19937_64& random) {
    if (random() % 8 != 0) {
        s.hostSupports32Bit = 1;
    }
    // The host's own value before the handshake.
    s.pluginUsing32Bit = 0;
    // A host that offers nothing is not a host.
    if (s.maxData <= 0 || random() % 2 == 0) {
        s.maxData = ProbeHost::kOfferedMaxData;
    }
    if (random() % 4 != 0) {
        s.mode = kSupportedModes[random() % std::size(kSupportedModes)];
        s.depth = int16_t(8 << (random() % 3));
        s.planes = int16_t(IsRGBMode(s.mode) ? 3 + random() % 3 : 1 + random() % 2);
        s.width = int32_t(1 + random() % 64);
        s.height = int32_t(1 + random() % 40);
    }
    if (random() % 4 != 0) {
        std::vector<int16_t> calls{exportSelectorPrepare, exportSelectorStart};
        while (random() % 2 == 0) {
            calls.push_back(exportSelectorContinue);
        }
        calls.push_back(exportSelectorFinish);
        if (random() % 4 == 0) {
            calls.insert(calls.end(), s.selectors.begin(), s.selectors.end());
        }
        s.selectors = calls;
    }
    if (random() % 2 == 0) {
        s.actions.clear();
    }
    // Actions where a small document's requests are.
    std::map<size_t, Action> actions;
    for (const auto& [request, action] : s.actions) {
        actions.emplace(request % size_t(std::max(s.height, 1) + 1), action);
    }
    s.actions = actions;
}

void Arrange(const Sandbox& sandbox, const Scenario& s) {
    if (s.folder == fuzz::FolderState::Absent) {
        return;
    }
    std::filesystem::create_directories(sandbox.ExportFolder());
    if (s.folder == fuzz::FolderState::StaleFile) {
        std::ofstream(sandbox.ExportFolder() / "stale.ppm") << "stale";
    } else if (s.folder == fuzz::FolderState::FolderNamedLikeTheFile) {
        const std::string name = ExpectedName(s.filename, s.depth);
        std::filesystem::create_directories(name.empty() ? sandbox.ExportFolder() / "planted"
                                                         : host::FittedPath(sandbox.ExportFolder(), name));
    }
}

// Requests of one export answered as the scenario says; remembers whether one of them could not be read.
void AnswerRequests(ProbeHost& host, const Scenario& s, bool& unreadable) {
    host.BeforeEachRequest([&s, &unreadable](size_t index, Misbehaviour& m) {
        const Action action = s.ActionAt(index);
        m.rowBytesShortBy = action.kind == Action::ShortRowBytes ? action.bytes : 0;
        m.rowBytesPadding = action.kind == Action::LongRowBytes ? action.bytes : 0;
        m.nullData = action.kind == Action::NullData;
        if (action.kind == Action::Fail) {
            m.failAt = index;
            m.failCode = action.code;
        }
        if (action.kind == Action::Cancel && !m.cancelAfter) {
            m.cancelAfter = index;
        }
        unreadable = unreadable || m.rowBytesShortBy > 0 || m.nullData;
    });
}

// What the sandbox holds besides what was arranged there before the calls.
Files NewFiles(const Sandbox& sandbox, const Files& arranged) {
    Files files = sandbox.Outputs();
    for (const auto& [name, bytes] : arranged) {
        const auto found = files.find(name);
        if (found != files.end() && found->second == bytes) {
            files.erase(found);
        }
    }
    return files;
}

// An export that ended well: the document was one the interface lets a plug-in export, every delivery was
// readable, and it left what a plain export of the same document leaves.
void ExpectGoodExport(const ProbeHost& host, const Sandbox& sandbox, const Files& arranged, bool unreadable,
                      const std::string& at) {
    const Document& d = host.Doc();
    Expect(IsSupported(d.Mode(), d.Depth(), d.Planes()), at + ": the export of " + d.Describe(), "a refusal",
           "success");
    Expect(!unreadable, at + ": an export with a short or null delivery", "a failure", "success");
    const Produced& plain = PlainExport(host.Plugin(), d, sandbox.Scratch());
    const std::string difference = CompareFiles(plain.files, NewFiles(sandbox, arranged));
    Expect(difference.empty(), at + ": what the export left", "what a plain export of the document leaves",
           difference);
}

void NullCall(ExportPluginEntry entry, ProbeHost& host, int16_t selector, int which, const std::string& at) {
    const intptr_t slot = host.Slot();
    int16_t result = ProbeHost::kUntouched;
    entry(selector, which == 0 ? nullptr : &host.Record(), which == 1 ? nullptr : &host.Slot(),
          which == 2 ? nullptr : &result);
    Expect(result == ProbeHost::kUntouched && host.Slot() == slot && host.Events().empty(),
           at + " with a null " +
               (which == 0   ? "parameter block"
                : which == 1 ? "data slot"
                             : "result"),
           "no effect", "the result, the data slot or the host's routines touched");
}

// Plays the calls; true when an export was left open (a Start that succeeded without a Finish after it), so
// that what it holds for the export is not yet to be given back.
bool PlayCalls(ExportPluginEntry entry, const FuzzCase& c, const Sandbox& sandbox) {
    const Scenario& s = c.scenario;
    const Files arranged = sandbox.Outputs();
    ProbeHost host(entry, ToDocument(s));
    const Document& document = host.Doc();
    ExportRecord& r = host.Record();
    r.maxData = s.maxData;
    r.HostSupports32BitCoordinates = s.hostSupports32Bit;
    r.PluginUsing32BitCoordinates = s.pluginUsing32Bit;
    r.handleProcs = host::handles::Offered(s.handles);
    r.sSPBasic = host::suites::Offered(s.suite);
    r.advanceState = s.advanceState ? r.advanceState : nullptr;
    r.progressProc = s.progressProc ? r.progressProc : nullptr;
    r.abortProc = s.abortProc ? r.abortProc : nullptr;
    bool unreadable = false;
    // Without a Prepare that succeeded the host breaks the protocol itself: the plug-in may then ask for
    // what this host cannot serve, as long as it fails cleanly.
    bool prepared = false;
    bool open = false;
    AnswerRequests(host, s, unreadable);
    for (size_t call = 0; call < s.selectors.size(); ++call) {
        const int16_t selector = s.selectors[call];
        const std::string at =
            "call " + std::to_string(call + 1) + " (selector " + std::to_string(selector) + ")";
        host.ClearEvents();
        if (c.nullArgument && c.nullArgument->first == call) {
            NullCall(entry, host, selector, c.nullArgument->second, at);
            continue;
        }
        // Continue comes only while a region is wanted: one after a failed or finished transfer is a host's
        // fault, not a case.
        if (selector == exportSelectorContinue && !host.WantsRegion()) {
            continue;
        }
        if (selector == exportSelectorStart) {
            unreadable = false;
            host.Behaviour() = Misbehaviour{};
        }
        const int32_t maxData = r.maxData;
        int16_t result = ProbeHost::kUntouched;
        if (selector == exportSelectorAbout) {
            AboutRecord about{nullptr, r.sSPBasic};
            entry(selector, &about, &host.Slot(), &result);
        } else {
            result = host.Play(selector);
        }
        Expect(result != ProbeHost::kUntouched, at + ": the result", "written", "left untouched");
        if (selector == exportSelectorPrepare) {
            prepared = result == exportNoErr;
        }
        open = selector == exportSelectorStart ? result == exportNoErr
                                               : open && selector != exportSelectorFinish;
        Expect(!prepared || host.Refusal().empty(), at + ": the requests",
               "regions of the document within maxData", host.Refusal());
        Expect(r.maxData <= maxData, at + ": maxData", "at most " + std::to_string(maxData),
               std::to_string(r.maxData));
        ExpectEqual(host::handles::Locks(reinterpret_cast<Handle>(host.Slot())), 0,
                    at + ": locks held on the data slot's handle");
        Expect(host.RequestsAfterCancel() <= kRequestsAfterCancel, at + ": requests after abortProc said so",
               "at most " + std::to_string(kRequestsAfterCancel), std::to_string(host.RequestsAfterCancel()));
        const bool transfer = selector == exportSelectorStart || selector == exportSelectorContinue;
        if (transfer && result != exportNoErr) {
            ExpectRegionEmpty(r, at);
        }
        // Mode, depth and planes are what Prepare must judge; a document without pixels may fail in Start.
        if (selector == exportSelectorPrepare && result == exportNoErr) {
            Expect(IsSupported(document.Mode(), document.Depth(), document.Planes()),
                   at + ": Prepare for " + document.Describe(), "a refusal", "success");
        }
        if (transfer && result == exportNoErr && !host.WantsRegion()) {
            ExpectGoodExport(host, sandbox, arranged, unreadable, at);
        }
        // The export itself went well; whether its file stays is the plug-in's choice, but not its bytes.
        if (transfer && result == exportErrCompanionNotLaunched && !NewFiles(sandbox, arranged).empty()) {
            ExpectGoodExport(host, sandbox, arranged, unreadable, at);
        }
    }
    return open;
}

std::string Selectors(const std::vector<int16_t>& selectors) {
    static const char* const names[] = {"About", "Start", "Continue", "Finish", "Prepare"};
    std::string text;
    for (int16_t selector : selectors) {
        text += (text.empty() ? "" : ", ") + (selector >= 0 && selector <= 4
                                                  ? std::string(names[selector])
                                                  : "selector " + std::to_string(selector));
    }
    return text.empty() ? "none" : text;
}

std::string ActionWords(const Action& action) {
    switch (action.kind) {
    case Action::Deliver:
        return "delivers";
    case Action::Fail:
        return "fails with " + std::to_string(action.code);
    case Action::Cancel:
        return "cancels after it";
    case Action::ShortRowBytes:
        return "reports rowBytes " + std::to_string(action.bytes) + " bytes short";
    case Action::NullData:
        return "answers 0 with null data";
    case Action::LongRowBytes:
        return "pads rowBytes by " + std::to_string(action.bytes) + " bytes";
    }
    return "?";
}

const char* HandleWords(fuzz::HandleMode mode) {
    switch (mode) {
    case fuzz::HandleMode::Host:
        return "the host's handle routines";
    case fuzz::HandleMode::None:
        return "no handle routines";
    case fuzz::HandleMode::WrongVersion:
        return "handle routines of another version";
    case fuzz::HandleMode::TooFewRoutines:
        return "too few handle routines";
    case fuzz::HandleMode::LockFails:
        return "handle routines whose lock fails";
    }
    return "?";
}

} // namespace

uint64_t CaseSeed(uint64_t runSeed, uint64_t index) {
    uint64_t z = runSeed * 1000003u + index + 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return (z ^ (z >> 31)) % 1000000000000u;
}

FuzzCase MakeFuzzCase(uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<uint8_t> bytes(40 + random() % 400);
    for (uint8_t& byte : bytes) {
        byte = uint8_t(random());
    }
    FuzzCase c;
    c.seed = seed;
    c.scenario = fuzz::Decode(bytes.data(), bytes.size());
    Steer(c.scenario, random);
    if (random() % 8 == 0 && !c.scenario.selectors.empty()) {
        // Drawn one after the other: the order of a call's arguments differs between compilers, and a seed
        // must reproduce with any build.
        const size_t selector = size_t(random() % c.scenario.selectors.size());
        const int argument = int(random() % 3);
        c.nullArgument = std::make_pair(selector, argument);
    }
    return c;
}

void PlayFuzzCase(const CheckContext& context, const FuzzCase& c) {
    Sandbox sandbox(context.scratch, c.scenario.companion ? Companion::DoNothing : Companion::Missing);
    const int32_t handles = host::handles::Live();
    const int32_t suites = host::suites::Held();
    bool open = false;
    {
        host::PluginLibrary library(context.plugin);
        Arrange(sandbox, c.scenario);
        open = PlayCalls(library.Entry(), c, sandbox);
    }
    // The interface promises Finish after a successful Start, so an export left without one may still hold
    // what it made for itself.
    if (!open) {
        ExpectEqual(host::handles::Live(), handles, "host handles alive once the module is unloaded");
    }
    ExpectEqual(host::suites::Held(), suites, "suites held once the module is unloaded");
}

std::string DescribeFuzzCase(const FuzzCase& c) {
    const Scenario& s = c.scenario;
    std::string actions;
    for (const auto& [request, action] : s.actions) {
        if (action.kind != Action::Deliver) {
            actions += "; at request " + std::to_string(request + 1) + " the host " + ActionWords(action);
        }
    }
    static const char* const pointers[] = {"parameter block", "data slot", "result"};
    return ToDocument(s).Describe() + ", maxData " + std::to_string(s.maxData) +
           ", HostSupports32BitCoordinates " + std::to_string(s.hostSupports32Bit) + ", " +
           HandleWords(s.handles) + (s.companion ? "" : ", no companion") + ", calls " +
           Selectors(s.selectors) + actions +
           (c.nullArgument ? "; call " + std::to_string(c.nullArgument->first + 1) + " with a null " +
                                 pointers[c.nullArgument->second]
                           : "");
}

} // namespace validate

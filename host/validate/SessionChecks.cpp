// The session around the transfer: the orders a host may call the selectors in, the globals kept in the
// data slot, and what Prepare settles (the 32-bit handshake, maxData).
#include "CheckSupport.h"

#include "BasicSuite.h"
#include "HostHandles.h"

#include <filesystem>

namespace validate {
namespace {

Document Small(const std::string& name = "Session.psd") {
    return MakeDocument(plugInModeRGBColor, 8, 3, 3, 2, name);
}

void PrepareTwice(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), Small());
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "the first Prepare");
    ExpectExported(host.Export(), host, sandbox, "the export after a second Prepare");
}

void StartWithoutPrepare(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), Small());
    // Without the handshake this host reads the 16-bit theRect, as an old host would.
    const ExportRun run = host.Transfer();
    if (run.result == exportNoErr) {
        ExpectExported(run, host, sandbox, "Start without Prepare succeeded");
    }
    ExpectRegionEmpty(host.Record(), "Start without Prepare");
    // Whatever it made of that, a proper export follows.
    host.ClearEvents();
    ExpectExported(host.Export(), host, sandbox, "the export after it");
}

void ContinueAfterStart(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), Small());
    ExpectExported(host.Export(), host, sandbox, "the export");
    const Files exported = sandbox.Outputs();
    host.ClearEvents();
    host.Call(exportSelectorContinue);
    Expect(host.Requests().empty(), "Continue when no region is wanted: requests", "none",
           std::to_string(host.Requests().size()));
    ExpectRegionEmpty(host.Record(), "Continue when no region is wanted");
    const std::string difference = CompareFiles(exported, sandbox.Outputs());
    Expect(difference.empty(), "the files after Continue", "those of the export, unchanged", difference);
}

void FinishWithoutStart(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost first(library.Entry(), Small());
    ExpectResult(first.Call(exportSelectorFinish), exportNoErr, "Finish as the very first call");
    ProbeHost host(library.Entry(), Small());
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "Prepare");
    ExpectResult(host.Call(exportSelectorFinish), exportNoErr, "Finish right after Prepare");
    Expect(host.Events().empty() && first.Events().empty(),
           "Finish without Start: calls of the host's routines", "none", "some");
    ExpectNoOutput(sandbox, "Finish without Start");
    ExpectExported(host.Export(), host, sandbox, "the export after it");
}

void AboutAndExports(const CheckContext& context, const Sandbox& sandbox) {
    host::PluginLibrary library(context.plugin);
    AboutRecord about{nullptr, host::suites::Basic()};
    intptr_t aboutSlot = 0;
    int16_t result = ProbeHost::kUntouched;
    library.Entry()(exportSelectorAbout, &about, &aboutSlot, &result);
    ExpectResult(result, exportNoErr, "About before any export");
    Expect(aboutSlot == 0, "About before any export: the data slot", "left 0", "set");

    ProbeHost host(library.Entry(), Small("Before About.psd"));
    ExpectExported(host.Export(), host, sandbox, "the export before About");
    const intptr_t globals = host.Slot();
    result = ProbeHost::kUntouched;
    library.Entry()(exportSelectorAbout, &about, &host.Slot(), &result);
    ExpectResult(result, exportNoErr, "About between exports");
    Expect(host.Slot() == globals, "About between exports: the data slot", "unchanged", "changed");

    ProbeHost after(library.Entry(), Small("After About.psd"));
    after.Slot() = globals;
    host.Slot() = 0;
    ExpectExported(after.Export(), after, sandbox, "the export after About");
}

void AboutBetweenExports(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    const int32_t held = host::suites::Held();
    AboutAndExports(context, sandbox);
    ExpectEqual(host::suites::Held(), held, "suites held once the module is unloaded");
}

// Exports twice on one slot; the globals handle is the host's, unlocked between calls, and stays one handle.
void GlobalsHostHandles(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const int32_t before = host::handles::Live();
    ProbeHost host(library.Entry(), Small());
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "Prepare");
    const Handle globals = reinterpret_cast<Handle>(host.Slot());
    Expect(host::handles::IsValid(globals), "the data slot after the first call", "a handle made by newProc",
           "something else");
    ExpectEqual(host::handles::Live(), before + 1, "host handles alive after the first call");
    auto expectKept = [&](const std::string& what) {
        Expect(reinterpret_cast<Handle>(host.Slot()) == globals, what + ": the data slot", "the same handle",
               "another value");
        ExpectEqual(host::handles::Locks(globals), 0, what + ": locks held on the globals handle");
        ExpectEqual(host::handles::Live(), before + 1, what + ": host handles alive");
    };
    expectKept("after Prepare");
    ExpectExported(host.Export(), host, sandbox, "the first export");
    expectKept("after the first export");
    // A cancelled export ends on another path.
    host.Behaviour().cancelAfter = 0;
    host.Export();
    expectKept("after a cancelled export");
    host.Behaviour().cancelAfter.reset();
    ExpectExported(host.Export(), host, sandbox, "the export after the cancelled one");
    expectKept("after the last export");
}

// Whatever the plug-in keeps between calls: after every call at most the one host handle in the data slot is
// alive, and it is not locked.
void HandleDiscipline(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const int32_t before = host::handles::Live();
    ProbeHost host(library.Entry(), Small());
    auto expectClean = [&](const std::string& what) {
        const Handle slot = reinterpret_cast<Handle>(host.Slot());
        const bool held = host::handles::IsValid(slot);
        ExpectEqual(host::handles::Live(), before + (held ? 1 : 0),
                    what + ": host handles alive besides the one in the data slot");
        ExpectEqual(host::handles::Locks(slot), 0, what + ": locks held on the data slot's handle");
    };
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "Prepare");
    expectClean("after Prepare");
    ExpectExported(host.Export(), host, sandbox, "the first export");
    expectClean("after an export");
    host.Behaviour().cancelAfter = 0;
    host.Export();
    expectClean("after a cancelled export");
    host.Behaviour().cancelAfter.reset();
    host.Behaviour().failAt = 0;
    host.Behaviour().failCode = -36;
    host.Export();
    expectClean("after an export the host failed");
    host.Behaviour().failAt.reset();
    ExpectExported(host.Export(), host, sandbox, "the last export");
    expectClean("after the last export");
}

// The handle routines are unusable (missing, a newer version, too few): the plug-in makes no host handle and
// still exports, again and again.
void GlobalsOwnMemory(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    HandleProcs noNew = host::handles::Table();
    noNew.newProc = nullptr;
    const std::pair<const char*, HandleProcs*> tables[] = {
        {"no handleProcs", nullptr},
        {"handleProcsVersion 2", host::handles::Offered(fuzz::HandleMode::WrongVersion)},
        {"7 handle routines", host::handles::Offered(fuzz::HandleMode::TooFewRoutines)},
        {"no newProc", &noNew}};
    for (const auto& [what, procs] : tables) {
        const int32_t before = host::handles::Live();
        ProbeHost host(library.Entry(), Small());
        host.Record().handleProcs = procs;
        ExpectExported(host.Export(), host, sandbox, std::string(what) + ": the first export");
        ExpectEqual(host::handles::Live(), before, std::string(what) + ": host handles alive");
        ExpectExported(host.Export(), host, sandbox, std::string(what) + ": the second export");
        ExpectEqual(host::handles::Live(), before, std::string(what) + ": host handles alive at the end");
    }
}

// This plug-in's own choice: the globals live in the data slot from the first call on, and keep living
// there when the handle routines are unusable.
void GlobalsKeptOwnMemory(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), Small());
    host.Record().handleProcs = nullptr;
    ExpectExported(host.Export(), host, sandbox, "the first export");
    const intptr_t globals = host.Slot();
    Expect(globals != 0, "no handleProcs: the data slot", "the plug-in's own globals", "0");
    ExpectExported(host.Export(), host, sandbox, "the second export");
    Expect(host.Slot() == globals, "the data slot after the second export", "unchanged", "changed");
}

// A host that offers 32-bit coordinates gets a plug-in that either takes them or keeps to the 16-bit fields;
// one that does not offer them gets either a refusal in Prepare or an export through the 16-bit fields.
void CoordinateHandshake(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int32_t offered : {1, 0}) {
        const std::string what = "HostSupports32BitCoordinates " + std::to_string(offered);
        ProbeHost host(library.Entry(), Small());
        host.Record().HostSupports32BitCoordinates = offered;
        const ExportRun run = host.Export();
        const int32_t using32 = host.Record().PluginUsing32BitCoordinates;
        Expect(using32 == 0 || (using32 == 1 && offered == 1), what + ": PluginUsing32BitCoordinates",
               offered == 1 ? "0 or 1" : "0", std::to_string(using32));
        if (offered == 1 && run.prepare == exportNoErr && using32 == 0) {
            Warn(what + ": the plug-in keeps to 16-bit coordinates, so it cannot export documents wider or "
                        "taller than 32767");
        }
        if (offered == 0 && run.prepare != exportNoErr) {
            Expect(host.Requests().empty(), what + ": requests after a refusal", "none", "some");
            continue;
        }
        ExpectExported(run, host, sandbox, what);
    }
}

// Prepare may lower maxData but never raise it, and the plug-in keeps to the value it leaves.
void MaxDataNeverRaised(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int32_t offered : {ProbeHost::kOfferedMaxData, 100000, 4096}) {
        const std::string what = "maxData " + std::to_string(offered);
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGB48, 16, 4, 700, 9));
        host.Record().maxData = offered;
        const ExportRun run = host.Export();
        Expect(host.Record().maxData <= offered, what + ": maxData after Prepare",
               "at most " + std::to_string(offered), std::to_string(host.Record().maxData));
        ExpectExported(run, host, sandbox, what);
    }
}

void CoordinateHandshakeRefusal(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int32_t offered : {0, 2, -1, 0x10001}) {
        const std::string what = "HostSupports32BitCoordinates " + std::to_string(offered);
        ProbeHost host(library.Entry(), Small());
        host.Record().HostSupports32BitCoordinates = offered;
        const int32_t maxData = host.Record().maxData;
        ExpectResult(host.Call(exportSelectorPrepare), exportErrParam, what + ": Prepare");
        ExpectEqual(host.Record().PluginUsing32BitCoordinates, 0, what + ": PluginUsing32BitCoordinates");
        ExpectEqual(host.Record().maxData, maxData, what + ": maxData");
    }
    ProbeHost host(library.Entry(), Small());
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "HostSupports32BitCoordinates 1: Prepare");
    ExpectEqual(host.Record().PluginUsing32BitCoordinates, 1,
                "HostSupports32BitCoordinates 1: "
                "PluginUsing32BitCoordinates");
}

void MaxDataCapped(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const std::pair<int32_t, int32_t> cases[] = {{100000, 100000},   {0x80000, 0x80000},
                                                 {0x80001, 0x80000}, {10000000, 0x80000},
                                                 {-1, -1},           {INT32_MAX, 0x80000}};
    for (const auto& [offered, expected] : cases) {
        ProbeHost host(library.Entry(), Small());
        host.Record().maxData = offered;
        ExpectResult(host.Call(exportSelectorPrepare), exportNoErr,
                     "Prepare with maxData " + std::to_string(offered));
        ExpectEqual(host.Record().maxData, expected, "maxData " + std::to_string(offered) + " after Prepare");
    }
}

} // namespace

std::vector<Check> SessionChecks() {
    return {
        {"prepare-twice", "Prepare called twice before Start still gives a correct export.", PrepareTwice,
         Level::Recommended},
        {"start-without-prepare",
         "Start without Prepare either succeeds with a correct file or fails with an empty region, and a "
         "proper export works afterwards.",
         StartWithoutPrepare, Level::Recommended},
        {"continue-after-start",
         "Continue after a Start that wanted no more regions requests nothing and leaves the region empty "
         "and the file intact.",
         ContinueAfterStart, Level::Recommended},
        {"finish-without-start",
         "Finish as the first call and Finish right after Prepare answer 0 and write nothing; an export "
         "works afterwards.",
         FinishWithoutStart, Level::Recommended},
        {"about-between-exports",
         "About before and between exports answers 0 and leaves the data slot alone, the exports around it "
         "are correct, and every suite it took is given back when the module is unloaded.",
         AboutBetweenExports, Level::Contract},
        {"handle-discipline",
         "After every call (Prepare, exports that succeed, are cancelled or fail) no host handle is alive "
         "but the one the data slot holds, and that one is unlocked.",
         HandleDiscipline, Level::Contract},
        {"globals-host-handles",
         "The globals are one handle made through the host's handle routines, kept in the data slot across "
         "exports (cancelled ones too) and unlocked after every call.",
         GlobalsHostHandles, Level::Reference},
        {"globals-own-memory",
         "Without usable handle routines (none, version 2, 7 routines, no newProc) the plug-in makes no host "
         "handle and exports correctly, twice.",
         GlobalsOwnMemory, Level::Contract},
        {"globals-kept-own-memory",
         "Without handle routines the globals are memory of the plug-in's own, kept in the data slot from "
         "one "
         "export to the next.",
         GlobalsKeptOwnMemory, Level::Reference},
        {"coordinate-handshake",
         "A host offering 32-bit coordinates gets PluginUsing32BitCoordinates 0 or 1 and a correct export; "
         "one that does not gets a refusal without requests or a correct export through the 16-bit fields.",
         CoordinateHandshake, Level::Contract},
        {"coordinate-handshake-refusal",
         "Prepare refuses HostSupports32BitCoordinates other than 1 with -50, leaving maxData and "
         "PluginUsing32BitCoordinates alone, and answers 1 with PluginUsing32BitCoordinates 1.",
         CoordinateHandshakeRefusal, Level::Reference},
        {"max-data-never-raised",
         "Prepare never raises maxData (offers of 8 MiB, 100000 and 4096 bytes), and every region asked for "
         "stays within what it leaves; the exports are correct.",
         MaxDataNeverRaised, Level::Contract},
        {"max-data-cap",
         "Prepare lowers maxData to at most 524288 (0x80000), keeps smaller values and leaves a negative one "
         "alone.",
         MaxDataCapped, Level::Reference},
    };
}

} // namespace validate

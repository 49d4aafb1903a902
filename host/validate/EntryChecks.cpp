// The entry point: that it is there, and what it does with arguments a host should never pass.
#include "CheckSupport.h"

#include "HostHandles.h"

#include <dlfcn.h>

namespace validate {
namespace {

const int16_t kSelectors[] = {exportSelectorAbout,  exportSelectorStart,   exportSelectorContinue,
                              exportSelectorFinish, exportSelectorPrepare, 7};

std::string Selector(int16_t selector) {
    return "selector " + std::to_string(selector);
}

void EntryPointExported(const CheckContext& context) {
    try {
        host::PluginLibrary library(context.plugin);
        Dl_info info{};
        Expect(dladdr(reinterpret_cast<void*>(library.Entry()), &info) != 0 && info.dli_sname != nullptr &&
                   std::string(info.dli_sname) == exportPluginEntryName,
               "the symbol " exportPluginEntryName, "a function of that name", "something else");
    } catch (const host::PluginLoadError& e) {
        Fail("loading the module with every symbol bound", exportPluginEntryName " resolved", e.what());
    }
}

// The call does nothing at all: no result, no globals, no request, no file.
void ExpectNoEffect(ProbeHost& host, const Sandbox& sandbox, int32_t handlesBefore, const std::string& what) {
    Expect(host.Slot() == 0, what + ": the data slot", "left 0", "set to " + std::to_string(host.Slot()));
    ExpectEqual(host::handles::Live(), handlesBefore, what + ": host handles alive");
    Expect(host.Events().empty(), what + ": calls of the host's routines", "none",
           std::to_string(host.Events().size()));
    ExpectNoOutput(sandbox, what);
}

template <typename CallWith>
void NullArgument(const CheckContext& context, CallWith call) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (int16_t selector : kSelectors) {
        Note(Selector(selector));
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 2, 2));
        AboutRecord about{nullptr, host.Record().sSPBasic};
        void* block = selector == exportSelectorAbout ? static_cast<void*>(&about) : &host.Record();
        const int32_t handles = host::handles::Live();
        int16_t result = ProbeHost::kUntouched;
        call(library.Entry(), selector, block, &host.Slot(), &result);
        ExpectResult(result, ProbeHost::kUntouched, Selector(selector) + ": the result");
        ExpectNoEffect(host, sandbox, handles, Selector(selector));
    }
}

void NullParamBlock(const CheckContext& context) {
    NullArgument(context, [](ExportPluginEntry entry, int16_t selector, void*, intptr_t* slot,
                             int16_t* result) { entry(selector, nullptr, slot, result); });
}

void NullDataSlot(const CheckContext& context) {
    NullArgument(context, [](ExportPluginEntry entry, int16_t selector, void* block, intptr_t*,
                             int16_t* result) { entry(selector, block, nullptr, result); });
}

void NullResult(const CheckContext& context) {
    NullArgument(context, [](ExportPluginEntry entry, int16_t selector, void* block, intptr_t* slot,
                             int16_t*) { entry(selector, block, slot, nullptr); });
}

void UnknownSelectors(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const VRect stale{1, 2, 3, 4};
    for (int16_t selector : {5, 6, 7, 100, -1, -32768, 32767}) {
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 2, 2));
        host.Record().theRect32 = stale;
        // Once on fresh globals, once on globals an export has used.
        for (int round = 0; round < 2; ++round) {
            const std::string what =
                Selector(selector) + (round == 0 ? " as the first call" : " after an export");
            const int16_t result = host.Call(selector);
            Expect(result == exportNoErr || result == exportErrParam, what + ": the result",
                   Code(exportNoErr) + " or " + Code(exportErrParam), Code(result));
            Expect(host.Events().empty(), what + ": calls of the host's routines", "none",
                   std::to_string(host.Events().size()));
            const VRect& r = host.Record().theRect32;
            Expect(r.top == stale.top && r.left == stale.left && r.bottom == stale.bottom &&
                       r.right == stale.right,
                   what + ": theRect32", "untouched", "changed");
            ExpectEqual(host.Record().PluginUsing32BitCoordinates, round == 0 ? 0 : 1,
                        what + ": PluginUsing32BitCoordinates");
            ExpectNoOutput(sandbox, what);
            ExpectEqual(host::handles::Locks(reinterpret_cast<Handle>(host.Slot())), 0,
                        what + ": locks held on the globals handle afterwards");
            if (round == 0) {
                ExpectExported(host.Export(), host, sandbox, Selector(selector) + ": the export between");
                host.ClearEvents();
                sandbox.ClearOutputs();
                host.Record().theRect32 = stale;
            }
        }
    }
}

} // namespace

std::vector<Check> EntryChecks() {
    return {
        {"entry-point-exported",
         "The module loads with every symbol bound (RTLD_NOW) and exports the entry point PluginMain.",
         EntryPointExported, Level::Contract},
        {"null-param-block",
         "A call with a null parameter block, for every selector, leaves the result, the data slot and the "
         "disk "
         "untouched.",
         NullParamBlock, Level::Contract},
        {"null-data-slot",
         "A call with a null data slot pointer, for every selector, leaves the result untouched and makes no "
         "globals, requests or files.",
         NullDataSlot, Level::Contract},
        {"null-result",
         "A call with a null result pointer, for every selector, leaves the data slot untouched and makes no "
         "globals, requests or files.",
         NullResult, Level::Contract},
        {"unknown-selectors",
         "Selectors outside 0..4 (5, 6, 7, 100, -1, -32768, 32767) answer 0 or -50 and neither request "
         "pixels, "
         "touch the record nor write a file, first call or not.",
         UnknownSelectors, Level::Recommended},
    };
}

} // namespace validate

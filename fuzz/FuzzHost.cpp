#include "FuzzHost.h"

#include "Checks.h"

#include "BasicSuite.h"
#include "HostHandles.h"

#include "PluginMain.h"
#include "platform/Handles.h"

namespace fuzz {
namespace {

constexpr int16_t iRESULT_UNSET = 0x7777;

host::HostOptions FuzzOptions() {
    host::HostOptions options;
    options.memory = host::DeliveryMemory::ExactHeap;
    options.rectByHandshake = false;
    // The scenario's maxData may be anything; the regions are checked against the plug-in's own rules.
    options.enforceMaxData = false;
    options.resultUnset = iRESULT_UNSET;
    return options;
}

} // namespace

FuzzHost::FuzzHost(const Scenario& s) : scenario(s), core(MainProc, ToDocument(s), FuzzOptions()) {
    core.Activate();
    core.BeforeEachRequest([this](size_t index, host::Misbehaviour& m) { Arrange(index, m); });
    host::handles::OnMisuse([](const char* what) { Require(false, what); });
    ExportRecord& record = core.Record();
    record.abortProc = s.abortProc ? record.abortProc : nullptr;
    record.progressProc = s.progressProc ? record.progressProc : nullptr;
    record.maxData = s.maxData;
    record.imageSize = Point{s.size16v, s.size16h};
    record.handleProcs = host::handles::Offered(s.handles);
    record.advanceState = s.advanceState ? record.advanceState : nullptr;
    record.sSPBasic = host::suites::Offered(s.suite);
    record.HostSupports32BitCoordinates = s.hostSupports32Bit;
    record.PluginUsing32BitCoordinates = s.pluginUsing32Bit;
}

FuzzHost::~FuzzHost() {
    const auto globals = reinterpret_cast<Handle>(core.Slot());
    if (host::handles::IsValid(globals)) {
        host::handles::Dispose(globals);
    } else if (globals != nullptr) {
        // The plug-in's own block, for a host without usable handle routines.
        DisposeHandle(globals);
    }
    host::handles::OnMisuse(nullptr);
}

int16_t FuzzHost::Call(int16_t selector) {
    if (selector == exportSelectorAbout) {
        AboutRecord about{nullptr, host::suites::Offered(scenario.suite)};
        return core.Call(MainProc, selector, &about, &core.Slot());
    }
    return core.Call(selector);
}

std::vector<Region> FuzzHost::Requests() const {
    std::vector<Region> regions;
    for (const host::Event& request : core.Requests()) {
        regions.push_back(Region{request.rect, request.loPlane, request.hiPlane});
    }
    return regions;
}

std::vector<ProgressReport> FuzzHost::Progress() const {
    std::vector<ProgressReport> reports;
    for (const host::Event& report : core.ProgressReports()) {
        reports.push_back(ProgressReport{report.done, report.total});
    }
    return reports;
}

// The plug-in asks for whole rows of every plane, one row at a time; the scenario's action for the request
// then says how it is answered, counted from the last ClearLog.
void FuzzHost::Arrange(size_t index, host::Misbehaviour& m) {
    const host::Event& request = core.Requests().back();
    const VRect& r = request.rect;
    Require(r.top >= 0 && r.bottom == r.top + 1 && r.bottom <= scenario.height && r.left >= 0 &&
                r.right > r.left && r.right <= scenario.width,
            "a region outside the document or not one row");
    Require(request.loPlane == 0 && request.hiPlane == scenario.planes - 1, "not every plane requested");
    const Action action = scenario.ActionAt(core.Requests().size() - 1);
    m = host::Misbehaviour{};
    m.padLastRow = true;
    if (action.kind == Action::Fail) {
        m.failAt = index;
        m.failCode = action.code;
    }
    m.cancelUntilNext = action.kind == Action::Cancel;
    m.rowBytesShortBy = action.kind == Action::ShortRowBytes ? action.bytes : 0;
    m.rowBytesPadding = action.kind == Action::LongRowBytes ? action.bytes : 0;
    m.nullData = action.kind == Action::NullData;
}

} // namespace fuzz

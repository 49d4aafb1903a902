#include "FuzzHost.h"

#include "Checks.h"

#include "PluginMain.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace fuzz {
namespace {

constexpr int16_t iRESULT_UNSET = 0x7777;

struct Block {
    void* memory;
    int32_t size;
    int32_t locks;
};

std::map<Handle, Block>& Blocks() {
    static std::map<Handle, Block> blocks;
    return blocks;
}

Block* Find(Handle h) {
    const auto it = Blocks().find(h);
    return it == Blocks().end() ? nullptr : &it->second;
}

Handle NewProc(int32_t size) {
    if (size < 0) {
        return nullptr;
    }
    void* memory = std::calloc(1, size_t(std::max(size, 1)));
    auto* master = static_cast<Handle>(std::malloc(1));
    Blocks()[master] = Block{memory, size, 0};
    return master;
}

void DisposeProc(Handle h) {
    if (Block* block = Find(h)) {
        std::free(block->memory);
        Blocks().erase(h);
        std::free(h);
    }
}

int32_t GetSizeProc(Handle h) {
    const Block* block = Find(h);
    return block == nullptr ? 0 : block->size;
}

int16_t SetSizeProc(Handle h, int32_t size) {
    Block* block = Find(h);
    if (block == nullptr || block->locks > 0 || size < 0) {
        return exportErrNoMemory;
    }
    void* memory = std::realloc(block->memory, size_t(std::max(size, 1)));
    if (memory == nullptr) {
        return exportErrNoMemory;
    }
    block->memory = memory;
    block->size = size;
    return exportNoErr;
}

void* LockProc(Handle h, Boolean) {
    Block* block = Find(h);
    if (block == nullptr) {
        return nullptr;
    }
    ++block->locks;
    return block->memory;
}

void* RefusingLockProc(Handle, Boolean) {
    return nullptr;
}

void UnlockProc(Handle h) {
    Block* block = Find(h);
    Require(block != nullptr && block->locks > 0, "unlock of a handle that is not locked");
    --block->locks;
}

int32_t CountProc() {
    return int32_t(Blocks().size());
}

Boolean ValidProc(Handle h) {
    return Find(h) != nullptr;
}

HandleProcs MakeProcs(HandleMode mode) {
    HandleProcs procs{exportHandleProcsVersion,
                      exportHandleProcsCount,
                      NewProc,
                      DisposeProc,
                      GetSizeProc,
                      SetSizeProc,
                      LockProc,
                      UnlockProc,
                      CountProc,
                      ValidProc};
    if (mode == HandleMode::WrongVersion) {
        procs.handleProcsVersion = 2;
    } else if (mode == HandleMode::TooFewRoutines) {
        procs.numHandleProcs = 7;
    } else if (mode == HandleMode::LockFails) {
        procs.lockProc = RefusingLockProc;
    }
    return procs;
}

void ProcessEvent(EventRecord*) {}

const UIHooksSuite1 uiHooks = {ProcessEvent};

int32_t AcquireUIHooks(const char* name, int32_t version, const void** suite) {
    *suite = nullptr;
    if (name == nullptr || std::strcmp(name, kUIHooksSuite) != 0 || version != kUIHooksSuiteVersion1) {
        return 1;
    }
    *suite = &uiHooks;
    return 0;
}

int32_t AcquireNothing(const char*, int32_t, const void** suite) {
    *suite = nullptr;
    return 1;
}

int32_t Release(const char*, int32_t) {
    return 0;
}

SPBasicSuite uiHooksBasic = {AcquireUIHooks, Release};
SPBasicSuite refusingBasic = {AcquireNothing, Release};

SPBasicSuite* BasicSuite(SuiteMode mode) {
    switch (mode) {
    case SuiteMode::Refusing:
        return &refusingBasic;
    case SuiteMode::UIHooks:
        return &uiHooksBasic;
    default:
        return nullptr;
    }
}

void CallMain(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    MainProc(selector, static_cast<ExportRecord*>(block), data, result);
}

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

FuzzHost::FuzzHost(const Scenario& s) : scenario(s), core(CallMain, ToDocument(s), FuzzOptions()) {
    core.Activate();
    core.BeforeEachRequest([this](size_t index, host::Misbehaviour& m) { Arrange(index, m); });
    procs = MakeProcs(s.handles);
    ExportRecord& record = core.Record();
    record.abortProc = s.abortProc ? record.abortProc : nullptr;
    record.progressProc = s.progressProc ? record.progressProc : nullptr;
    record.maxData = s.maxData;
    record.imageSize = Point{s.size16v, s.size16h};
    record.handleProcs = s.handles == HandleMode::None ? nullptr : &procs;
    record.advanceState = s.advanceState ? record.advanceState : nullptr;
    record.sSPBasic = BasicSuite(s.suite);
    record.HostSupports32BitCoordinates = s.hostSupports32Bit;
    record.PluginUsing32BitCoordinates = s.pluginUsing32Bit;
}

FuzzHost::~FuzzHost() {
    const auto globals = reinterpret_cast<Handle>(core.Slot());
    if (ValidProc(globals)) {
        DisposeProc(globals);
    } else if (globals != nullptr) {
        // The plug-in's own block, for a host without usable handle routines.
        DisposeHandle(globals);
    }
}

int16_t FuzzHost::Call(int16_t selector) {
    if (selector == exportSelectorAbout) {
        AboutRecord about{nullptr, BasicSuite(scenario.suite)};
        return core.Call(CallMain, selector, &about, &core.Slot());
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

int32_t FuzzHost::LiveHandles() {
    return CountProc();
}

int32_t FuzzHost::LockedHandles() {
    return int32_t(std::count_if(Blocks().begin(), Blocks().end(),
                                 [](const auto& entry) { return entry.second.locks > 0; }));
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

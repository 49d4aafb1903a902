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
constexpr uint8_t uiPADDING = 0xA5;

FuzzHost* active = nullptr;

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

int16_t CB_AdvanceState() {
    return active->Deliver();
}

Boolean CB_Abort() {
    return active->Abort();
}

void CB_Progress(int32_t done, int32_t total) {
    active->Report(done, total);
}

} // namespace

FuzzHost::FuzzHost(const Scenario& s) : scenario(s) {
    active = this;
    procs = MakeProcs(s.handles);
    record.abortProc = s.abortProc ? CB_Abort : nullptr;
    record.progressProc = s.progressProc ? CB_Progress : nullptr;
    record.maxData = s.maxData;
    record.imageMode = s.mode;
    record.depth = s.depth;
    record.planes = s.planes;
    record.imageSize = Point{s.size16v, s.size16h};
    record.imageSize32 = VPoint{s.height, s.width};
    const size_t length = std::min<size_t>(s.filename.size(), 255);
    record.filename[0] = static_cast<unsigned char>(length);
    std::memcpy(record.filename + 1, s.filename.data(), length);
    record.handleProcs = s.handles == HandleMode::None ? nullptr : &procs;
    record.advanceState = s.advanceState ? CB_AdvanceState : nullptr;
    record.sSPBasic = BasicSuite(s.suite);
    record.HostSupports32BitCoordinates = s.hostSupports32Bit;
    record.PluginUsing32BitCoordinates = s.pluginUsing32Bit;
}

FuzzHost::~FuzzHost() {
    const auto globals = reinterpret_cast<Handle>(slot);
    if (ValidProc(globals)) {
        DisposeProc(globals);
    } else if (globals != nullptr) {
        // The plug-in's own block, for a host without usable handle routines.
        DisposeHandle(globals);
    }
    active = nullptr;
}

int16_t FuzzHost::Call(int16_t selector) {
    int16_t result = iRESULT_UNSET;
    if (selector == exportSelectorAbout) {
        AboutRecord about{nullptr, BasicSuite(scenario.suite)};
        MainProc(selector, reinterpret_cast<ExportRecord*>(&about), &slot, &result);
    } else {
        MainProc(selector, &record, &slot, &result);
    }
    delivery.reset();
    return result;
}

void FuzzHost::ClearLog() {
    requests.clear();
    progress.clear();
}

int32_t FuzzHost::LiveHandles() {
    return CountProc();
}

int32_t FuzzHost::LockedHandles() {
    return int32_t(std::count_if(Blocks().begin(), Blocks().end(),
                                 [](const auto& entry) { return entry.second.locks > 0; }));
}

int16_t FuzzHost::Deliver() {
    const Region region{record.theRect32, record.loPlane, record.hiPlane};
    const VRect& r = region.rect;
    Require(r.top >= 0 && r.bottom == r.top + 1 && r.bottom <= scenario.height && r.left >= 0 &&
                r.right > r.left && r.right <= scenario.width,
            "a region outside the document or not one row");
    Require(region.loPlane == 0 && region.hiPlane == scenario.planes - 1, "not every plane requested");
    lastAction = scenario.ActionAt(requests.size());
    requests.push_back(region);
    record.data = nullptr;
    record.rowBytes = 0;
    delivery.reset();
    if (lastAction.kind == Action::Fail) {
        return lastAction.code;
    }
    const size_t sampleBytes = SampleBytes(scenario.depth);
    const size_t needed = size_t(r.right - r.left) * size_t(scenario.planes) * sampleBytes;
    size_t promised = needed;
    if (lastAction.kind == Action::ShortRowBytes) {
        promised = needed - std::min(needed, size_t(lastAction.bytes));
    } else if (lastAction.kind == Action::LongRowBytes) {
        promised = needed + size_t(lastAction.bytes);
    }
    delivery = std::make_unique<uint8_t[]>(std::max<size_t>(promised, 1));
    const size_t pixelBytes = size_t(scenario.planes) * sampleBytes;
    for (size_t i = 0; i < std::min(needed, promised); ++i) {
        const int32_t x = r.left + int32_t(i / pixelBytes);
        const int32_t plane = int32_t(i % pixelBytes / sampleBytes);
        delivery[i] = scenario.SampleByte(SampleOffset(scenario, x, r.top, plane, i % sampleBytes));
    }
    std::fill(delivery.get() + std::min(needed, promised), delivery.get() + promised, uiPADDING);
    record.data = lastAction.kind == Action::NullData ? nullptr : delivery.get();
    record.rowBytes = static_cast<int32_t>(promised);
    return exportNoErr;
}

Boolean FuzzHost::Abort() {
    return !requests.empty() && lastAction.kind == Action::Cancel;
}

void FuzzHost::Report(int32_t done, int32_t total) {
    progress.push_back({done, total});
}

} // namespace fuzz

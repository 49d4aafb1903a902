#include "FuzzHost.h"

#include "Checks.h"

#include "BasicSuite.h"
#include "HostHandles.h"

#include "PluginMain.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstring>

namespace fuzz {
namespace {

constexpr int16_t iRESULT_UNSET = 0x7777;
constexpr uint8_t uiPADDING = 0xA5;

FuzzHost* active = nullptr;

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
    host::handles::OnMisuse([](const char* what) { Require(false, what); });
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
    record.handleProcs = host::handles::Offered(s.handles);
    record.advanceState = s.advanceState ? CB_AdvanceState : nullptr;
    record.sSPBasic = host::suites::Offered(s.suite);
    record.HostSupports32BitCoordinates = s.hostSupports32Bit;
    record.PluginUsing32BitCoordinates = s.pluginUsing32Bit;
}

FuzzHost::~FuzzHost() {
    const auto globals = reinterpret_cast<Handle>(slot);
    if (host::handles::IsValid(globals)) {
        host::handles::Dispose(globals);
    } else if (globals != nullptr) {
        // The plug-in's own block, for a host without usable handle routines.
        DisposeHandle(globals);
    }
    host::handles::OnMisuse(nullptr);
    active = nullptr;
}

int16_t FuzzHost::Call(int16_t selector) {
    int16_t result = iRESULT_UNSET;
    if (selector == exportSelectorAbout) {
        AboutRecord about{nullptr, host::suites::Offered(scenario.suite)};
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

#include "ProbeHost.h"

#include "BasicSuite.h"
#include "HostHandles.h"
#include "ResultCodes.h"

#include <algorithm>
#include <cstring>

namespace validate {
namespace {

ProbeHost* active = nullptr;

// A plug-in that keeps asking for regions after Start is stopped here; the time limit would stop it too.
constexpr int kMaxContinues = 100000;

Boolean OnAbort() {
    return active != nullptr ? active->Abort() : 1;
}

void OnProgress(int32_t done, int32_t total) {
    if (active != nullptr) {
        active->Report(done, total);
    }
}

int16_t OnAdvanceState() {
    return active != nullptr ? active->Deliver() : host::kHostErrBadRequest;
}

bool IsEmpty(const VRect& r) {
    return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0;
}

} // namespace

std::string DescribeRequest(const Event& e) {
    return "rows " + std::to_string(e.rect.top) + ".." + std::to_string(e.rect.bottom) + ", columns " +
           std::to_string(e.rect.left) + ".." + std::to_string(e.rect.right) + ", planes " +
           std::to_string(e.loPlane) + ".." + std::to_string(e.hiPlane);
}

ProbeHost::ProbeHost(ExportPluginEntry entry, Document document)
    : entry_(entry), document_(std::move(document)) {
    active = this;
    record_.abortProc = OnAbort;
    record_.progressProc = OnProgress;
    record_.maxData = kOfferedMaxData;
    record_.imageMode = document_.mode;
    record_.depth = document_.depth;
    record_.planes = document_.planes;
    record_.imageSize = Point{int16_t(std::min<int32_t>(document_.height, INT16_MAX)),
                              int16_t(std::min<int32_t>(document_.width, INT16_MAX))};
    record_.imageSize32 = VPoint{document_.height, document_.width};
    const size_t nameBytes = std::min<size_t>(document_.name.size(), sizeof record_.filename - 1);
    record_.filename[0] = uint8_t(nameBytes);
    std::memcpy(record_.filename + 1, document_.name.data(), nameBytes);
    record_.handleProcs = host::handles::Procs();
    record_.advanceState = OnAdvanceState;
    record_.sSPBasic = host::suites::Basic();
    record_.HostSupports32BitCoordinates = 1;
    record_.PluginUsing32BitCoordinates = 0;
}

ProbeHost::~ProbeHost() {
    const Handle globals = reinterpret_cast<Handle>(slot_);
    if (host::handles::IsValid(globals)) {
        host::handles::Procs()->disposeProc(globals);
    }
    if (active == this) {
        active = nullptr;
    }
}

int16_t ProbeHost::Call(int16_t selector) {
    active = this;
    int16_t result = kUntouched;
    entry_(selector, &record_, &slot_, &result);
    // The delivered pixels were valid for this call only.
    delivery_.reset();
    return result;
}

int16_t ProbeHost::Play(int16_t selector) {
    const int32_t offered = record_.maxData;
    if (selector == exportSelectorStart) {
        served_ = 0;
        cancelSeen_ = false;
        afterCancel_ = 0;
        if (!prepared_) {
            maxData_ = offered;
        }
    }
    const int16_t result = Call(selector);
    if (selector == exportSelectorPrepare) {
        prepared_ = true;
        maxData_ = std::min(record_.maxData, offered);
    }
    return result;
}

ExportRun ProbeHost::Export() {
    const int32_t offered = record_.maxData;
    ExportRun run;
    run.prepare = Call(exportSelectorPrepare);
    if (run.prepare != exportNoErr) {
        run.result = run.prepare;
        return run;
    }
    // Lowering is the plug-in's right; a raised value is not honoured.
    maxData_ = std::min(record_.maxData, offered);
    return Transfer(run.prepare);
}

ExportRun ProbeHost::Transfer(int16_t prepare) {
    served_ = 0;
    cancelSeen_ = false;
    afterCancel_ = 0;
    ExportRun run;
    run.prepare = prepare;
    run.start = Call(exportSelectorStart);
    if (*run.start != exportNoErr) {
        run.result = *run.start;
        return run;
    }
    int16_t result = exportNoErr;
    while (WantsRegion() && result == exportNoErr && run.continues < kMaxContinues) {
        result = Call(exportSelectorContinue);
        ++run.continues;
    }
    run.finish = Call(exportSelectorFinish);
    run.result = result != exportNoErr ? result : *run.finish;
    return run;
}

void ProbeHost::ClearEvents() {
    events_.clear();
    refusal_.clear();
}

std::vector<Event> ProbeHost::Requests() const {
    std::vector<Event> requests;
    std::copy_if(events_.begin(), events_.end(), std::back_inserter(requests),
                 [](const Event& e) { return e.kind == Event::Request; });
    return requests;
}

VRect ProbeHost::RequestedRect() const {
    if (record_.PluginUsing32BitCoordinates == 1) {
        return record_.theRect32;
    }
    const Rect& r = record_.theRect;
    return VRect{r.top, r.left, r.bottom, r.right};
}

bool ProbeHost::WantsRegion() const {
    return !IsEmpty(RequestedRect());
}

int16_t ProbeHost::Refuse(const std::string& reason) {
    if (refusal_.empty()) {
        refusal_ = reason;
    }
    return host::kHostErrBadRequest;
}

int16_t ProbeHost::Deliver() {
    // The previous region is gone, so a plug-in that still reads it faults.
    delivery_.reset();
    record_.data = nullptr;
    record_.rowBytes = 0;
    const VRect rect = RequestedRect();
    Event request{Event::Request};
    request.rect = rect;
    request.loPlane = record_.loPlane;
    request.hiPlane = record_.hiPlane;
    events_.push_back(request);
    afterCancel_ += cancelSeen_ ? 1 : 0;
    const size_t index = served_;
    if (arrange_) {
        arrange_(index, behaviour_);
    }
    if (behaviour_.failAt && *behaviour_.failAt == index) {
        ++served_;
        return behaviour_.failCode;
    }
    const Document& d = document_;
    if (rect.top < 0 || rect.left < 0 || rect.bottom <= rect.top || rect.right <= rect.left ||
        rect.bottom > d.height || rect.right > d.width) {
        return Refuse("the plug-in asked for " + DescribeRequest(request) + " of a " +
                      std::to_string(d.width) + "x" + std::to_string(d.height) + " document");
    }
    const int lo = record_.loPlane;
    const int hi = record_.hiPlane;
    if (lo < 0 || hi < lo || hi >= d.planes) {
        return Refuse("the plug-in asked for " + DescribeRequest(request) + " of a document with " +
                      std::to_string(d.planes) + " planes");
    }
    const size_t rows = size_t(rect.bottom - rect.top);
    const size_t rowBytes = size_t(rect.right - rect.left) * size_t(hi - lo + 1) * d.SampleBytes();
    if (rows * rowBytes > size_t(std::max(maxData_, 0))) {
        return Refuse("the plug-in asked for " + std::to_string(rows * rowBytes) +
                      " bytes in one region, more than maxData " + std::to_string(maxData_));
    }
    const size_t stride = rowBytes + size_t(std::max(behaviour_.rowBytesPadding, 0)) -
                          std::min<size_t>(rowBytes, size_t(std::max(behaviour_.rowBytesShortBy, 0)));
    // The last row ends right before the guard page, its padding left out as hosts do.
    const size_t size = (rows - 1) * stride + std::min(rowBytes, stride);
    // A misaligned delivery starts one byte past an 8-byte boundary and ends at most 7 bytes before the
    // guard.
    const size_t slack = behaviour_.misaligned ? 8 : 0;
    delivery_ = std::make_unique<GuardedBlock>(size + slack);
    uint8_t* data = delivery_->Data();
    if (behaviour_.misaligned) {
        data += (9 - reinterpret_cast<uintptr_t>(data) % 8) % 8;
    }
    std::memset(delivery_->Data(), 0xA5, delivery_->Size());
    Fill(data, rect, lo, hi, rowBytes, stride);
    delivery_->Seal();
    record_.data = behaviour_.nullData ? nullptr : data;
    record_.rowBytes = int32_t(stride);
    ++served_;
    return exportNoErr;
}

void ProbeHost::Fill(uint8_t* out, const VRect& rect, int lo, int hi, size_t rowBytes, size_t stride) const {
    const size_t sampleBytes = document_.SampleBytes();
    const size_t planeBytes = size_t(hi - lo + 1) * sampleBytes;
    const size_t filled = std::min(rowBytes, stride);
    for (int32_t y = rect.top; y < rect.bottom; ++y, out += stride) {
        size_t at = 0;
        for (int32_t x = rect.left; x < rect.right && at < filled; ++x, at += planeBytes) {
            std::memcpy(out + at, document_.Sample(x, y, lo), std::min(planeBytes, filled - at));
        }
    }
}

Boolean ProbeHost::Abort() {
    events_.push_back(Event{Event::AbortPoll});
    const bool cancelled = behaviour_.cancelAfter && served_ > *behaviour_.cancelAfter;
    cancelSeen_ = cancelSeen_ || cancelled;
    return cancelled ? 1 : 0;
}

void ProbeHost::Report(int32_t done, int32_t total) {
    Event progress{Event::Progress};
    progress.done = done;
    progress.total = total;
    events_.push_back(progress);
}

} // namespace validate

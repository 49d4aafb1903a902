#include "HostCore.h"

#include "BasicSuite.h"
#include "HostHandles.h"
#include "HostRange.h"
#include "ResultCodes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace host {
namespace {

HostCore* active = nullptr;

constexpr uint8_t kPadding = 0xA5;

Boolean OnAbort() {
    return active != nullptr ? active->Abort() : 1;
}

void OnProgress(int32_t done, int32_t total) {
    if (active != nullptr) {
        active->Report(done, total);
    }
}

int16_t OnAdvanceState() {
    return active != nullptr ? active->Deliver() : kHostErrBadRequest;
}

bool IsEmpty(const VRect& r) {
    return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0;
}

int16_t ClipTo16(int32_t value) {
    return int16_t(std::min<int32_t>(value, std::numeric_limits<int16_t>::max()));
}

std::string DescribeRect(const VRect& r) {
    return "rows " + std::to_string(r.top) + ".." + std::to_string(r.bottom) + ", columns " +
           std::to_string(r.left) + ".." + std::to_string(r.right);
}

} // namespace

std::string DescribeRequest(const Event& e) {
    return DescribeRect(e.rect) + ", planes " + std::to_string(e.loPlane) + ".." + std::to_string(e.hiPlane);
}

HostCore::HostCore(Entry entry, MemoryDocument document, HostOptions options)
    : entry_(std::move(entry)), document_(std::move(document)), source_(*document_),
      options_(std::move(options)) {
    FillRecord(RecordDescription{document_->Mode(), document_->Depth(), document_->Name()});
}

HostCore::HostCore(Entry entry, RegionSource& source, const RecordDescription& description,
                   HostOptions options)
    : entry_(std::move(entry)), source_(source), options_(std::move(options)) {
    FillRecord(description);
}

HostCore::~HostCore() {
    if (active == this) {
        active = nullptr;
    }
}

void HostCore::Activate() {
    active = this;
}

void HostCore::FillRecord(const RecordDescription& description) {
    record_.abortProc = OnAbort;
    record_.progressProc = OnProgress;
    record_.maxData = kOfferedMaxData;
    record_.imageMode = description.mode;
    record_.depth = description.depth;
    record_.planes = source_.Planes();
    record_.imageSize = Point{ClipTo16(source_.Height()), ClipTo16(source_.Width())};
    record_.imageSize32 = VPoint{source_.Height(), source_.Width()};
    const size_t nameBytes = std::min<size_t>(description.name.size(), sizeof record_.filename - 1);
    record_.filename[0] = uint8_t(nameBytes);
    std::memcpy(record_.filename + 1, description.name.data(), nameBytes);
    record_.handleProcs = handles::Procs();
    record_.advanceState = OnAdvanceState;
    record_.sSPBasic = suites::Basic();
    record_.HostSupports32BitCoordinates = 1;
    record_.PluginUsing32BitCoordinates = 0;
}

int16_t HostCore::Call(int16_t selector) {
    return Call(entry_, selector, &record_, &slot_);
}

int16_t HostCore::Call(const Entry& entry, int16_t selector, void* block, intptr_t* slot) {
    Activate();
    int16_t result = options_.resultUnset;
    entry(selector, block, slot, &result);
    // The delivered pixels were valid for this call only.
    guarded_.reset();
    exact_.reset();
    return result;
}

int16_t HostCore::Play(int16_t selector) {
    const int32_t offered = record_.maxData;
    if (selector == exportSelectorStart) {
        BeginCount();
        if (!prepared_) {
            maxData_ = offered;
        }
    }
    const int16_t result = Call(selector);
    if (selector == exportSelectorPrepare) {
        prepared_ = true;
        // Lowering is the plug-in's right; a raised value is not honoured.
        maxData_ = std::min(record_.maxData, offered);
    }
    return result;
}

ExportRun HostCore::Export() {
    const int16_t prepare = Play(exportSelectorPrepare);
    if (prepare != exportNoErr) {
        ExportRun run;
        run.prepare = prepare;
        run.result = prepare;
        return run;
    }
    return Transfer(prepare);
}

ExportRun HostCore::Transfer(int16_t prepare) {
    BeginCount();
    ExportRun run;
    run.prepare = prepare;
    run.start = Call(exportSelectorStart);
    if (*run.start != exportNoErr) {
        // Finish follows only a Start that returned 0.
        run.result = *run.start;
        return run;
    }
    int16_t result = exportNoErr;
    while (WantsRegion() && result == exportNoErr &&
           (options_.maxContinues == 0 || run.continues < options_.maxContinues)) {
        if (options_.cancelled && options_.cancelled()) {
            result = exportErrUserCanceled;
            break;
        }
        result = Call(exportSelectorContinue);
        ++run.continues;
    }
    // Finish, always after a successful Start; the first error is the export's result.
    run.finish = Call(exportSelectorFinish);
    run.result = result != exportNoErr ? result : *run.finish;
    return run;
}

void HostCore::BeginCount() {
    served_ = 0;
    cancelSeen_ = false;
    afterCancel_ = 0;
}

void HostCore::ClearEvents() {
    events_.clear();
    requests_.clear();
    progress_.clear();
    cancelling_ = false;
    refusal_.clear();
    refusals_ = 0;
    regionsDelivered_ = 0;
}

VRect HostCore::RequestedRect() const {
    if (record_.PluginUsing32BitCoordinates == 1 || !options_.rectByHandshake) {
        return record_.theRect32;
    }
    const Rect& r = record_.theRect;
    return VRect{r.top, r.left, r.bottom, r.right};
}

bool HostCore::WantsRegion() const {
    return !IsEmpty(RequestedRect());
}

int16_t HostCore::Refuse(int16_t code, const std::string& reason) {
    if (refusal_.empty()) {
        refusal_ = reason;
    }
    ++refusals_;
    return code;
}

std::string HostCore::CheckRequest(const Event& request) const {
    const VRect& rect = request.rect;
    const int32_t width = source_.Width();
    const int32_t height = source_.Height();
    const bool planes = options_.planesInRefusals;
    if (rect.top < 0 || rect.left < 0 || rect.bottom <= rect.top || rect.right <= rect.left ||
        rect.bottom > height || rect.right > width) {
        return "the plug-in asked for " + (planes ? DescribeRequest(request) : DescribeRect(rect)) +
               " of a " + std::to_string(width) + "x" + std::to_string(height) + " document";
    }
    const int lo = request.loPlane;
    const int hi = request.hiPlane;
    if (lo < 0 || hi < lo || hi >= source_.Planes()) {
        const std::string count = std::to_string(source_.Planes());
        return planes ? "the plug-in asked for " + DescribeRequest(request) + " of a document with " + count +
                            " planes"
                      : "the plug-in asked for planes " + std::to_string(lo) + ".." + std::to_string(hi) +
                            " of a document with " + count;
    }
    const uint64_t bytes = uint64_t(rect.bottom - rect.top) * uint64_t(rect.right - rect.left) *
                           uint64_t(hi - lo + 1) * source_.SampleBytes();
    if (options_.enforceMaxData && bytes > uint64_t(std::max(maxData_, 0))) {
        return "the plug-in asked for " + std::to_string(bytes) + " bytes in one region, more than maxData " +
               std::to_string(maxData_);
    }
    return std::string();
}

int16_t HostCore::Deliver() {
    // The previous region is gone, so a plug-in that still reads it faults.
    guarded_.reset();
    exact_.reset();
    record_.data = nullptr;
    record_.rowBytes = 0;
    Event request{Event::Request};
    request.rect = RequestedRect();
    request.loPlane = record_.loPlane;
    request.hiPlane = record_.hiPlane;
    if (options_.log) {
        events_.push_back(request);
        requests_.push_back(request);
    }
    afterCancel_ += cancelSeen_ ? 1 : 0;
    const size_t index = served_;
    if (arrange_) {
        arrange_(index, behaviour_);
    }
    cancelling_ = behaviour_.cancelUntilNext;
    if (behaviour_.failAt && *behaviour_.failAt == index) {
        ++served_;
        return behaviour_.failCode;
    }
    const std::string refusal = CheckRequest(request);
    if (!refusal.empty()) {
        return Refuse(options_.badRequestCode, refusal);
    }
    const VRect& rect = request.rect;
    const int lo = request.loPlane;
    const int hi = request.hiPlane;
    const size_t rows = size_t(rect.bottom - rect.top);
    const size_t rowBytes = size_t(rect.right - rect.left) * size_t(hi - lo + 1) * source_.SampleBytes();
    const size_t stride = rowBytes + size_t(std::max(behaviour_.rowBytesPadding, 0)) -
                          std::min<size_t>(rowBytes, size_t(std::max(behaviour_.rowBytesShortBy, 0)));
    const bool inPlace = options_.memory == DeliveryMemory::InPlace && source_.Stride() != 0 &&
                         stride == rowBytes && !behaviour_.misaligned && lo == 0 &&
                         hi == source_.Planes() - 1;
    uint8_t* data = nullptr;
    size_t reported = stride;
    try {
        if (inPlace) {
            data = const_cast<uint8_t*>(source_.Row(rect.top)) +
                   size_t(rect.left) * size_t(source_.Planes()) * source_.SampleBytes();
            reported = source_.Stride();
        } else {
            // The last row ends right before the end of the block, its padding left out as hosts do.
            const size_t size =
                (rows - 1) * stride + (behaviour_.padLastRow ? stride : std::min(rowBytes, stride));
            data = Lay(size);
            Fill(data, rect, lo, hi, rowBytes, stride);
            if (guarded_) {
                guarded_->Seal();
            }
        }
    } catch (const std::bad_alloc&) {
        return Refuse(kHostErrReadFailed, "the host ran out of memory reading the rows");
    } catch (const std::exception& e) {
        return Refuse(kHostErrReadFailed, e.what());
    }
    const bool withoutData =
        behaviour_.nullData || (behaviour_.nullDataAt && *behaviour_.nullDataAt == index);
    record_.data = withoutData ? nullptr : data;
    record_.rowBytes = int32_t(reported);
    ++served_;
    ++regionsDelivered_;
    return exportNoErr;
}

// A misaligned delivery starts one byte past an 8-byte boundary and ends at most 7 bytes before the end.
uint8_t* HostCore::Lay(size_t size) {
    const size_t slack = behaviour_.misaligned ? 8 : 0;
    uint8_t* block = nullptr;
    const size_t blockSize = size + slack;
    switch (options_.memory) {
    case DeliveryMemory::Guarded:
        guarded_ = std::make_unique<GuardedBlock>(blockSize);
        block = guarded_->Data();
        break;
    case DeliveryMemory::ExactHeap:
        exact_ = std::make_unique<uint8_t[]>(std::max<size_t>(blockSize, 1));
        block = exact_.get();
        break;
    default:
        buffer_.resize(std::max<size_t>(blockSize, 1));
        block = buffer_.data();
        break;
    }
    const bool padded = options_.memory == DeliveryMemory::Guarded ||
                        options_.memory == DeliveryMemory::ExactHeap || slack != 0 ||
                        behaviour_.rowBytesPadding > 0;
    if (padded) {
        std::memset(block, kPadding, blockSize);
    }
    if (behaviour_.misaligned) {
        block += (9 - reinterpret_cast<uintptr_t>(block) % 8) % 8;
    }
    return block;
}

void HostCore::Fill(uint8_t* out, const VRect& rect, int lo, int hi, size_t rowBytes, size_t stride) {
    const size_t sampleBytes = source_.SampleBytes();
    const size_t channels = size_t(source_.Planes());
    const size_t pixelBytes = channels * sampleBytes;
    const size_t planes = size_t(hi - lo + 1);
    const size_t planeBytes = planes * sampleBytes;
    const size_t pixels = size_t(rect.right - rect.left);
    const size_t filled = std::min(rowBytes, stride);
    const bool convert = source_.InFileRange() && sampleBytes == 2;
    for (int32_t y = rect.top; y < rect.bottom; ++y, out += stride) {
        const uint8_t* in = source_.Row(y) + size_t(rect.left) * pixelBytes + size_t(lo) * sampleBytes;
        if (convert) {
            // The host's 16-bit range is 0..32768, not the file's 0..65535.
            uint16_t* to = reinterpret_cast<uint16_t*>(out);
            if (filled < rowBytes || reinterpret_cast<uintptr_t>(out) % alignof(uint16_t) != 0) {
                converted_.resize(pixels * planes);
                to = converted_.data();
            }
            CopyToHostRange(reinterpret_cast<const uint16_t*>(in), channels, to, planes, pixels);
            if (to != reinterpret_cast<uint16_t*>(out)) {
                std::memcpy(out, to, filled);
            }
        } else if (planes == channels) {
            std::memcpy(out, in, filled);
        } else {
            for (size_t at = 0; at < filled; at += planeBytes, in += pixelBytes) {
                std::memcpy(out + at, in, std::min(planeBytes, filled - at));
            }
        }
    }
}

Boolean HostCore::Abort() {
    if (options_.log) {
        events_.push_back(Event{Event::AbortPoll});
    }
    const bool cancelled = (behaviour_.cancelAfter && served_ > *behaviour_.cancelAfter) || cancelling_ ||
                           (options_.cancelled && options_.cancelled());
    cancelSeen_ = cancelSeen_ || cancelled;
    return cancelled ? 1 : 0;
}

void HostCore::Report(int32_t done, int32_t total) {
    Event progress{Event::Progress};
    progress.done = done;
    progress.total = total;
    if (options_.log) {
        events_.push_back(progress);
        progress_.push_back(progress);
    }
    if (options_.progress) {
        options_.progress(done, total);
    }
}

} // namespace host

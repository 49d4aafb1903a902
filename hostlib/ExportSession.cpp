#include "ExportSession.h"

#include "BasicSuite.h"
#include "HostHandles.h"
#include "HostRange.h"
#include "ResultCodes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace host {

ExportSession* ExportSession::active_ = nullptr;

namespace {

int16_t ImageMode(const DocumentInfo& info) {
    const bool gray = info.color == ColorModel::Gray;
    switch (info.sample) {
    case SampleType::UInt8:
        return gray ? plugInModeGrayScale : plugInModeRGBColor;
    case SampleType::UInt16:
        return gray ? plugInModeGray16 : plugInModeRGB48;
    case SampleType::Float32:
        return gray ? plugInModeGray32 : plugInModeRGB96;
    }
    return 0;
}

int16_t ClipTo16(uint32_t value) {
    return static_cast<int16_t>(std::min<uint32_t>(value, std::numeric_limits<int16_t>::max()));
}

std::string Describe(const VRect& r) {
    return "rows " + std::to_string(r.top) + ".." + std::to_string(r.bottom) + ", columns " +
           std::to_string(r.left) + ".." + std::to_string(r.right);
}

void CheckDescribable(const DocumentInfo& info) {
    const uint32_t maxCoordinate = std::numeric_limits<int32_t>::max();
    if (info.width == 0 || info.height == 0 || info.width > maxCoordinate || info.height > maxCoordinate) {
        throw std::invalid_argument("the image size " + std::to_string(info.width) + "x" +
                                    std::to_string(info.height) + " cannot be handed to a plug-in");
    }
    if (info.channels == 0 || info.channels > static_cast<uint16_t>(std::numeric_limits<int16_t>::max())) {
        throw std::invalid_argument(std::to_string(info.channels) +
                                    " channels cannot be handed to a plug-in");
    }
}

// Restores the previous active session however Run ends.
class ActiveSession {
public:
    ActiveSession(ExportSession*& slot, ExportSession* session) : slot_(slot), previous_(slot) {
        slot_ = session;
    }
    ~ActiveSession() { slot_ = previous_; }
    ActiveSession(const ActiveSession&) = delete;
    ActiveSession& operator=(const ActiveSession&) = delete;

private:
    ExportSession*& slot_;
    ExportSession* previous_;
};

} // namespace

ExportSession::ExportSession(PluginLibrary& plugin, RowSource& document, ExportObserver observer)
    : plugin_(plugin), document_(document), observer_(std::move(observer)) {
    CheckDescribable(document_.Info());
}

ExportOutcome ExportSession::Run() {
    ActiveSession active(active_, this);
    outcome_ = ExportOutcome{};
    FillRecord();

    // 1. Prepare: the plug-in checks the document, may lower maxData and answers the 32-bit handshake.
    int16_t result = plugin_.Call(exportSelectorPrepare, &record_);
    if (result != exportNoErr) {
        outcome_.result = result;
        return outcome_;
    }
    // Lowering is the plug-in's right; a raised value is not honoured.
    maxData_ = std::min(record_.maxData, kOfferedMaxData);

    // 2. Start: the plug-in requests its regions through advanceState and writes its file.
    result = plugin_.Call(exportSelectorStart, &record_);
    if (result != exportNoErr) {
        // Finish follows only a Start that returned 0.
        outcome_.result = result;
        return outcome_;
    }

    // 3. Continue, for as long as the plug-in leaves a region it still wants.
    while (WantsRegion() && result == exportNoErr) {
        if (observer_.cancelled && observer_.cancelled()) {
            result = exportErrUserCanceled;
            break;
        }
        result = plugin_.Call(exportSelectorContinue, &record_);
    }

    // 4. Finish, always after a successful Start; the first error is the export's result.
    const int16_t finished = plugin_.Call(exportSelectorFinish, &record_);
    outcome_.result = result != exportNoErr ? result : finished;
    return outcome_;
}

void ExportSession::FillRecord() {
    const DocumentInfo& info = document_.Info();
    record_ = ExportRecord{};
    record_.abortProc = OnAbort;
    record_.progressProc = OnProgress;
    record_.maxData = kOfferedMaxData;
    record_.imageMode = ImageMode(info);
    record_.depth = static_cast<int16_t>(8 * BytesPerSample(info.sample));
    record_.planes = static_cast<int16_t>(info.channels);
    record_.imageSize = Point{ClipTo16(info.height), ClipTo16(info.width)};
    record_.imageSize32 = VPoint{static_cast<int32_t>(info.height), static_cast<int32_t>(info.width)};
    const size_t nameBytes = std::min<size_t>(info.name.size(), sizeof(record_.filename) - 1);
    record_.filename[0] = static_cast<unsigned char>(nameBytes);
    std::memcpy(record_.filename + 1, info.name.data(), nameBytes);
    record_.handleProcs = handles::Procs();
    record_.advanceState = OnAdvanceState;
    record_.sSPBasic = suites::Basic();
    record_.HostSupports32BitCoordinates = 1;
    record_.PluginUsing32BitCoordinates = 0;
}

VRect ExportSession::RequestedRect() const {
    if (record_.PluginUsing32BitCoordinates == 1) {
        return record_.theRect32;
    }
    const Rect& r = record_.theRect;
    return VRect{r.top, r.left, r.bottom, r.right};
}

bool ExportSession::WantsRegion() const {
    const VRect r = RequestedRect();
    return r.top != 0 || r.left != 0 || r.bottom != 0 || r.right != 0;
}

int16_t ExportSession::Refuse(int16_t code, const std::string& reason) {
    if (outcome_.hostError.empty()) {
        outcome_.hostError = reason;
    }
    return code;
}

int16_t ExportSession::Deliver() {
    record_.data = nullptr;
    record_.rowBytes = 0;
    const DocumentInfo& info = document_.Info();
    const VRect rect = RequestedRect();
    if (rect.top < 0 || rect.left < 0 || rect.bottom <= rect.top || rect.right <= rect.left ||
        static_cast<uint32_t>(rect.bottom) > info.height || static_cast<uint32_t>(rect.right) > info.width) {
        return Refuse(kHostErrBadRequest, "the plug-in asked for " + Describe(rect) + " of a " +
                                              std::to_string(info.width) + "x" + std::to_string(info.height) +
                                              " document");
    }
    const int lo = record_.loPlane;
    const int hi = record_.hiPlane;
    if (lo < 0 || hi < lo || hi >= info.channels) {
        return Refuse(kHostErrBadRequest, "the plug-in asked for planes " + std::to_string(lo) + ".." +
                                              std::to_string(hi) + " of a document with " +
                                              std::to_string(info.channels));
    }
    const uint64_t rowBytes =
        uint64_t(rect.right - rect.left) * uint64_t(hi - lo + 1) * BytesPerSample(info.sample);
    const uint64_t totalBytes = rowBytes * uint64_t(rect.bottom - rect.top);
    if (totalBytes > static_cast<uint64_t>(std::max(maxData_, 0))) {
        return Refuse(kHostErrBadRequest, "the plug-in asked for " + std::to_string(totalBytes) +
                                              " bytes in one region, more than maxData " +
                                              std::to_string(maxData_));
    }
    try {
        delivery_.resize(totalBytes);
        CopyRows(rect, lo, hi, rowBytes);
    } catch (const std::exception& e) {
        return Refuse(kHostErrReadFailed, e.what());
    }
    record_.data = delivery_.data();
    record_.rowBytes = static_cast<int32_t>(rowBytes);
    ++outcome_.regionsDelivered;
    outcome_.bytesDelivered += static_cast<int64_t>(totalBytes);
    return exportNoErr;
}

void ExportSession::CopyRows(const VRect& rect, int lo, int hi, size_t rowBytes) {
    const DocumentInfo& info = document_.Info();
    const size_t sampleBytes = BytesPerSample(info.sample);
    const size_t pixelBytes = info.channels * sampleBytes;
    const size_t planes = static_cast<size_t>(hi - lo + 1);
    const size_t pixels = static_cast<size_t>(rect.right - rect.left);
    unsigned char* out = delivery_.data();
    for (int32_t y = rect.top; y < rect.bottom; ++y, out += rowBytes) {
        const auto* in = static_cast<const unsigned char*>(document_.Row(static_cast<uint32_t>(y))) +
                         size_t(rect.left) * pixelBytes + size_t(lo) * sampleBytes;
        if (info.sample == SampleType::UInt16) {
            // The host's 16-bit range is 0..32768, not the file's 0..65535.
            CopyToHostRange(reinterpret_cast<const uint16_t*>(in), info.channels,
                            reinterpret_cast<uint16_t*>(out), planes, pixels);
        } else if (planes == info.channels) {
            std::memcpy(out, in, rowBytes);
        } else {
            for (size_t p = 0; p < pixels; ++p) {
                std::memcpy(out + p * planes * sampleBytes, in + p * pixelBytes, planes * sampleBytes);
            }
        }
    }
}

// The routines answer safely when a plug-in calls them outside a session.
Boolean ExportSession::OnAbort() {
    if (active_ == nullptr) {
        return 1;
    }
    const ExportObserver& observer = active_->observer_;
    return observer.cancelled && observer.cancelled() ? 1 : 0;
}

void ExportSession::OnProgress(int32_t done, int32_t total) {
    if (active_ == nullptr) {
        return;
    }
    const ExportObserver& observer = active_->observer_;
    if (observer.progress) {
        observer.progress(done, total);
    }
}

int16_t ExportSession::OnAdvanceState() {
    return active_ != nullptr ? active_->Deliver() : kHostErrBadRequest;
}

} // namespace host

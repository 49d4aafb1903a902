#include "ExportSession.h"

#include <limits>
#include <stdexcept>

namespace host {
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

// The file's rows as delivery reads them: 16-bit samples still in the file's range.
class FileRows : public RegionSource {
public:
    explicit FileRows(RowSource& rows) : rows_(rows), info_(rows.Info()) {}
    int32_t Width() const override { return static_cast<int32_t>(info_.width); }
    int32_t Height() const override { return static_cast<int32_t>(info_.height); }
    int16_t Planes() const override { return static_cast<int16_t>(info_.channels); }
    size_t SampleBytes() const override { return BytesPerSample(info_.sample); }
    const uint8_t* Row(int32_t y) override {
        return static_cast<const uint8_t*>(rows_.Row(static_cast<uint32_t>(y)));
    }
    bool InFileRange() const override { return info_.sample == SampleType::UInt16; }

private:
    RowSource& rows_;
    const DocumentInfo& info_;
};

} // namespace

ExportSession::ExportSession(PluginLibrary& plugin, RowSource& document, ExportObserver observer)
    : plugin_(plugin), document_(document), observer_(std::move(observer)) {
    CheckDescribable(document_.Info());
}

ExportOutcome ExportSession::Run() {
    const DocumentInfo& info = document_.Info();
    FileRows rows(document_);
    HostOptions options;
    options.planesInRefusals = false;
    options.log = false;
    options.resultUnset = exportNoErr;
    options.progress = observer_.progress;
    options.cancelled = observer_.cancelled;
    // The library keeps the plug-in's data slot from one export to the next.
    auto call = [this](int16_t selector, void* block, intptr_t*, int16_t* result) {
        *result = plugin_.Call(selector, block);
    };
    HostCore host(
        call, rows,
        RecordDescription{ImageMode(info), static_cast<int16_t>(8 * BytesPerSample(info.sample)), info.name},
        std::move(options));
    const ExportRun run = host.Export();
    ExportOutcome outcome;
    outcome.result = run.result;
    outcome.hostError = host.Refusal();
    return outcome;
}

} // namespace host

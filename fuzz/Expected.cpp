#include "Expected.h"

#include "ExpectedFile.h"
#include "MemoryDocument.h"

#include <algorithm>
#include <cstring>

namespace fuzz {
namespace {

constexpr size_t uiPATH_LIMIT = 255;
constexpr uint32_t uiBUFFER_SAMPLES = 30000;
constexpr uint32_t uiMAX_PIXEL = 10000;
constexpr int16_t iMISSING_PARAMETER = -1715;

// One write call of the export: false, with nothing appended, when it would pass the file-size limit.
bool Write(const Scenario& s, std::vector<uint8_t>& file, const std::vector<uint8_t>& bytes) {
    if (s.sizeLimit >= 0 && file.size() + bytes.size() > size_t(s.sizeLimit)) {
        return false;
    }
    file.insert(file.end(), bytes.begin(), bytes.end());
    return true;
}

// One sample's bytes as delivered.
void AppendSample(std::vector<uint8_t>& out, const Scenario& s, int32_t x, int32_t y, int32_t plane) {
    uint8_t bytes[4] = {};
    for (size_t k = 0; k < SampleBytes(s.depth); ++k) {
        bytes[k] = s.SampleByte(SampleOffset(s, x, y, plane, k));
    }
    host::AppendExpectedSample(out, s.depth, bytes);
}

void AppendPixels(std::vector<uint8_t>& out, const Scenario& s, bool gray, const VRect& rect) {
    out.reserve(size_t(rect.right - rect.left) * 3 * (s.depth == 32 ? 4 : 2));
    for (int32_t x = rect.left; x < rect.right; ++x) {
        for (int32_t channel = 0; channel < 3; ++channel) {
            AppendSample(out, s, x, rect.top, gray ? 0 : channel);
        }
    }
}

uint32_t MaxPixel(const Scenario& s) {
    const uint32_t buffer =
        std::min<uint32_t>(uiMAX_PIXEL, uiBUFFER_SAMPLES / std::max<uint32_t>(uint32_t(s.planes), 3));
    if (s.maxData <= 0) {
        return buffer;
    }
    return std::min<uint32_t>(buffer,
                              uint32_t(s.maxData) / uint32_t(size_t(s.planes) * SampleBytes(s.depth)));
}

// The transfer into a new, empty file; returns its code, or sets thrown to the code that leaves by exception.
int16_t ExpectTransfer(const Scenario& s, const Classification& kind, StartOutcome& o, bool& thrown) {
    const uint32_t maxPixel = MaxPixel(s);
    for (const std::string& line : host::ExpectedHeaderLines(s.width, s.height, s.depth)) {
        if (!Write(s, o.file, std::vector<uint8_t>(line.begin(), line.end()))) {
            return -20;
        }
    }
    if (maxPixel == 0) {
        return -50;
    }
    if (!s.advanceState) {
        if (s.progressProc) {
            o.progress.push_back({0, s.height});
        }
        return -50;
    }
    const uint32_t width = uint32_t(s.width);
    const size_t pixelBytes = size_t(s.planes) * SampleBytes(s.depth);
    int16_t code = 0;
    for (int32_t row = 0; row < s.height && code == 0; ++row) {
        for (uint32_t left = 0; left < width && code == 0; left += maxPixel) {
            const VRect rect{row, int32_t(left), row + 1, int32_t(std::min(left + maxPixel, width))};
            const Action action = s.ActionAt(o.requests.size());
            o.requests.push_back({rect, 0, int16_t(s.planes - 1)});
            const size_t needed = size_t(rect.right - rect.left) * pixelBytes;
            switch (action.kind) {
            case Action::Deliver:
            case Action::LongRowBytes:
            case Action::Cancel: {
                std::vector<uint8_t> pixels;
                AppendPixels(pixels, s, kind.gray, rect);
                if (!Write(s, o.file, pixels)) {
                    code = -20;
                } else {
                    code = action.kind == Action::Cancel && s.abortProc ? -128 : 0;
                }
                break;
            }
            case Action::Fail:
                code = action.code;
                break;
            case Action::ShortRowBytes:
                // No bytes at all is a missing parameter, too few a refusal.
                if (needed <= size_t(action.bytes)) {
                    thrown = true;
                    return iMISSING_PARAMETER;
                }
                code = -50;
                break;
            case Action::NullData:
                thrown = true;
                return iMISSING_PARAMETER;
            }
        }
        if (s.progressProc) {
            o.progress.push_back({row, s.height});
        }
    }
    return code;
}

} // namespace

Classification Classify(int16_t mode, int16_t depth, int16_t planes) {
    Classification c;
    if (host::IsSupported(mode, depth, planes)) {
        c.format = depth == 32 ? Format::PFM : Format::PPM;
        c.gray = !(host::IsRGBMode(mode) && planes > 2);
    }
    return c;
}

bool Exportable(const Scenario& s) {
    return Classify(s.mode, s.depth, s.planes).format != Format::None && s.width > 0 && s.height > 0 &&
           s.planes <= int16_t(uiBUFFER_SAMPLES);
}

size_t SampleBytes(int16_t depth) {
    return depth == 16 ? 2 : depth == 32 ? 4 : 1;
}

size_t SampleOffset(const Scenario& s, int32_t x, int32_t y, int32_t plane, size_t byte) {
    return ((size_t(y) * size_t(s.width) + size_t(x)) * size_t(s.planes) + size_t(plane)) *
               SampleBytes(s.depth) +
           byte;
}

std::string ExportName(const std::string& documentName, Format format) {
    return format == Format::None ? std::string()
                                  : host::ExpectedName(documentName, format == Format::PFM ? 32 : 8);
}

std::string FitPath(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    if (path.size() <= uiPATH_LIMIT) {
        return path;
    }
    const size_t point = name.rfind('.');
    const size_t excess = path.size() - uiPATH_LIMIT;
    if (point <= excess) {
        return std::string();
    }
    return folder + "/" + name.substr(0, point - excess) + name.substr(point);
}

StartOutcome ExpectStart(const Scenario& s, const Setup& setup) {
    StartOutcome o;
    if (s.handles == HandleMode::LockFails) {
        o.result = -108;
        return o;
    }
    // Everything that refuses the document, its name or the folder comes before the folder is emptied.
    const Classification kind = Classify(s.mode, s.depth, s.planes);
    const std::string name = ExportName(s.filename, kind.format);
    if (!Exportable(s) || name.empty() || setup.exportFolder.empty() || setup.folderRefused) {
        o.result = -50;
        return o;
    }
    const std::string path = FitPath(setup.exportFolder, name);
    if (path.empty()) {
        o.result = -50;
        return o;
    }
    o.cleaned = true;
    if (setup.readOnly || s.folder == FolderState::FolderNamedLikeTheFile) {
        o.result = -23;
        return o;
    }
    bool thrown = false;
    const int16_t transfer = ExpectTransfer(s, kind, o, thrown);
    if (thrown || transfer != 0) {
        o.result = transfer;
        return o;
    }
    o.fileKept = true;
    o.path = path;
    o.result = s.companion ? 0 : -30901;
    return o;
}

} // namespace fuzz

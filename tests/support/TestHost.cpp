#include "TestHost.h"

#include "HostHandles.h"
#include "PluginModule.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>

namespace testhost {
namespace {

TestHost* active = nullptr;

int16_t CB_AdvanceState() {
    return active->Deliver();
}

Boolean CB_Abort() {
    return active->Abort();
}

void CB_Progress(int32_t done, int32_t total) {
    active->Report(done, total);
}

// The host answers a request it cannot serve with an error of its own.
const int16_t iBAD_REQUEST = -1;

bool IsGray(int16_t mode) {
    return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
}

void AppendBigEndian16(std::vector<uint8_t>& out, unsigned int value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// Copied through its bits, so that every NaN keeps its exact pattern.
void AppendLittleEndianFloat(std::vector<uint8_t>& out, const uint8_t* sample) {
    uint32_t bits = 0;
    std::memcpy(&bits, sample, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

unsigned int To16Bit(const Document& document, double value) {
    if (document.Depth() == 8) {
        return static_cast<unsigned int>(value) * 257u;
    }
    const unsigned int host = static_cast<unsigned int>(value);
    return host >= 32768u ? 65535u : host * 65535u / 32768u;
}

} // namespace

Document::Document(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                   std::string name)
    : iMode(mode), iDepth(depth), iPlanes(planes), iWidth(width), iHeight(height), sName(std::move(name)) {
    const size_t pixels = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    aSamples.assign(pixels * size_t(planes > 0 ? planes : 0) * SampleBytes(), 0);
}

size_t Document::SampleBytes() const {
    switch (iDepth) {
    case 16:
        return 2;
    case 32:
        return 4;
    default:
        return 1;
    }
}

size_t Document::Offset(int32_t x, int32_t y, int16_t plane) const {
    return ((size_t(y) * size_t(iWidth) + size_t(x)) * size_t(iPlanes) + size_t(plane)) * SampleBytes();
}

const uint8_t* Document::SampleAddress(int32_t x, int32_t y, int16_t plane) const {
    return aSamples.data() + Offset(x, y, plane);
}

void Document::SetSample(int32_t x, int32_t y, int16_t plane, double value) {
    uint8_t* at = aSamples.data() + Offset(x, y, plane);
    if (iDepth == 16) {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(at, &v, sizeof v);
    } else if (iDepth == 32) {
        const float v = static_cast<float>(value);
        std::memcpy(at, &v, sizeof v);
    } else {
        *at = static_cast<uint8_t>(value);
    }
}

double Document::Sample(int32_t x, int32_t y, int16_t plane) const {
    const uint8_t* at = SampleAddress(x, y, plane);
    if (iDepth == 16) {
        uint16_t v = 0;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    if (iDepth == 32) {
        float v = 0;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    return *at;
}

void Document::FillPattern() {
    for (int32_t y = 0; y < iHeight; ++y) {
        for (int32_t x = 0; x < iWidth; ++x) {
            for (int16_t p = 0; p < iPlanes; ++p) {
                const unsigned int seed = unsigned(x) * 7u + unsigned(y) * 13u + unsigned(p) * 101u;
                if (iDepth == 16) {
                    SetSample(x, y, p, seed * 37u % 32769u);
                } else if (iDepth == 32) {
                    SetSample(x, y, p, (double(seed % 1000u) - 200.0) / 256.0);
                } else {
                    SetSample(x, y, p, seed % 256u);
                }
            }
        }
    }
}

void Document::FillRandom(uint32_t seed) {
    std::mt19937 random(seed);
    const uint16_t edges16[] = {0, 1, 2, 16384, 32767, 32768, 32769, 40000, 65535};
    const uint32_t specials32[] = {0x00000000u, 0x80000000u, 0x3F800000u, 0x7F800000u, 0xFF800000u,
                                   0x7FC00000u, 0x7F800001u, 0xFFFFFFFFu, 0x00000001u, 0x807FFFFFu};
    for (size_t at = 0; at < aSamples.size(); at += SampleBytes()) {
        const uint32_t draw = static_cast<uint32_t>(random());
        const uint32_t kind = draw % 8;
        if (iDepth == 16) {
            uint16_t v = static_cast<uint16_t>(random() % 32769u);
            if (kind == 0) {
                v = edges16[random() % (sizeof edges16 / sizeof edges16[0])];
            } else if (kind == 1) {
                v = static_cast<uint16_t>(random());
            }
            std::memcpy(&aSamples[at], &v, sizeof v);
        } else if (iDepth == 32) {
            uint32_t bits = static_cast<uint32_t>(random());
            if (kind < 4) {
                const float v = std::uniform_real_distribution<float>(kind == 0 ? -2.0f : 0.0f, 1.0f)(random);
                std::memcpy(&bits, &v, sizeof bits);
            } else if (kind == 4) {
                bits = specials32[random() % (sizeof specials32 / sizeof specials32[0])];
            }
            std::memcpy(&aSamples[at], &bits, sizeof bits);
        } else {
            aSamples[at] = static_cast<uint8_t>(draw >> 8);
        }
    }
}

std::vector<uint8_t> ExpectedFile(const Document& document) {
    std::vector<uint8_t> out;
    const bool pfm = document.Depth() == 32;
    AppendText(out, std::string(pfm ? "PF" : "P6") + "\n" + std::to_string(document.Width()) + "\n" +
                        std::to_string(document.Height()) + "\n" + (pfm ? "-1.0000" : "65535") + "\n");
    for (int32_t y = 0; y < document.Height(); ++y) {
        for (int32_t x = 0; x < document.Width(); ++x) {
            for (int16_t channel = 0; channel < 3; ++channel) {
                const int16_t plane = IsGray(document.Mode()) ? 0 : channel;
                if (pfm) {
                    AppendLittleEndianFloat(out, document.SampleAddress(x, y, plane));
                } else {
                    AppendBigEndian16(out, To16Bit(document, document.Sample(x, y, plane)));
                }
            }
        }
    }
    return out;
}

TestHost::TestHost(Document doc) : document(std::move(doc)) {
    procs = host::handles::Table();
    record.abortProc = CB_Abort;
    record.progressProc = CB_Progress;
    record.maxData = 10000000;
    record.imageMode = document.Mode();
    record.depth = document.Depth();
    record.planes = document.Planes();
    record.imageSize = Point{static_cast<int16_t>(document.Height()), static_cast<int16_t>(document.Width())};
    record.imageSize32 = VPoint{document.Height(), document.Width()};
    const size_t length = std::min<size_t>(document.Name().size(), 255);
    record.filename[0] = static_cast<unsigned char>(length);
    std::memcpy(record.filename + 1, document.Name().data(), length);
    record.handleProcs = &procs;
    record.advanceState = CB_AdvanceState;
    record.HostSupports32BitCoordinates = 1;
    Activate();
}

TestHost::~TestHost() {
    if (slot != 0 && procs.validProc(reinterpret_cast<Handle>(slot))) {
        procs.disposeProc(reinterpret_cast<Handle>(slot));
    }
    if (active == this) {
        active = nullptr;
    }
}

void TestHost::Activate() {
    active = this;
}

void TestHost::FailAt(size_t request, int16_t code) {
    failAt = request;
    failCode = code;
}

void TestHost::CancelAfter(size_t request) {
    cancelAfter = request;
}

void TestHost::NullDataAt(size_t request) {
    nullDataAt = request;
}

void TestHost::ShortRowBytes(int32_t bytes) {
    shortBy = bytes;
}

int16_t TestHost::Call(const PluginModule& module, int16_t selector) {
    Activate();
    int16_t result = 0x7777;
    module.Call(selector, &record, &slot, &result);
    return result;
}

int16_t TestHost::Export(const PluginModule& module) {
    const int16_t prepared = Call(module, exportSelectorPrepare);
    if (prepared != 0) {
        return prepared;
    }
    const int16_t started = Call(module, exportSelectorStart);
    if (started == 0) {
        Call(module, exportSelectorFinish);
    }
    return started;
}

int16_t TestHost::Deliver() {
    const size_t index = requests.size();
    const VRect rect = record.theRect32;
    requests.push_back(Request{rect, record.loPlane, record.hiPlane});
    record.data = nullptr;
    record.rowBytes = 0;
    if (index == failAt) {
        return failCode;
    }
    const bool inside = rect.top >= 0 && rect.left >= 0 && rect.bottom > rect.top && rect.right > rect.left &&
                        rect.bottom <= document.Height() && rect.right <= document.Width() &&
                        record.loPlane >= 0 && record.hiPlane >= record.loPlane &&
                        record.hiPlane < document.Planes();
    if (!inside) {
        ++badRequests;
        return iBAD_REQUEST;
    }
    const size_t sampleBytes = document.SampleBytes();
    const size_t planes = size_t(record.hiPlane - record.loPlane + 1);
    const size_t rowBytes = size_t(rect.right - rect.left) * planes * sampleBytes;
    delivery.clear();
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const uint8_t* from = document.SampleAddress(x, y, record.loPlane);
            delivery.insert(delivery.end(), from, from + planes * sampleBytes);
        }
    }
    largestDelivery = std::max(largestDelivery, delivery.size());
    record.data = index == nullDataAt ? nullptr : delivery.data();
    record.rowBytes = static_cast<int32_t>(rowBytes) - shortBy;
    return 0;
}

Boolean TestHost::Abort() {
    ++abortPolls;
    return !requests.empty() && requests.size() - 1 >= cancelAfter;
}

void TestHost::Report(int32_t done, int32_t total) {
    progress.push_back(Progress{done, total});
}

} // namespace testhost

#include "Documents.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace validate {
namespace {

constexpr uint32_t kHostMax16 = 32768;

const float kSpecialFloats[] = {0.0f,
                                1.0f,
                                -0.0f,
                                -2.5f,
                                1e30f,
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::denorm_min(),
                                0.5f};

uint64_t sampleSeed = 0;

// A value that differs by plane, column and row; every n-th sample is one of the extremes.
uint32_t Pattern(int32_t x, int32_t y, int plane) {
    uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ uint32_t(plane + 1) * 97u ^
                 uint32_t(sampleSeed * 0x9E3779B97F4A7C15u >> 32);
    return v ^ (v >> 13);
}

void StoreSample(Document& d, size_t offset, int32_t x, int32_t y, int plane) {
    const uint32_t p = Pattern(x, y, plane);
    uint8_t* at = d.samples.data() + offset;
    // By the bytes a sample takes, which for an unsupported depth is one.
    if (d.SampleBytes() == 1) {
        *at = p % 7 == 0 ? uint8_t(p % 2 ? 255 : 0) : uint8_t(p);
    } else if (d.SampleBytes() == 2) {
        const uint16_t v = p % 7 == 0 ? uint16_t(p % 2 ? kHostMax16 : 0) : uint16_t(p % (kHostMax16 + 1));
        std::memcpy(at, &v, sizeof v);
    } else {
        const float v = p % 5 == 0 ? kSpecialFloats[(p / 5) % std::size(kSpecialFloats)]
                                   : float(p % 100000) / 65536.0f - 0.25f;
        std::memcpy(at, &v, sizeof v);
    }
}

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// File order is a property of the format: 16-bit samples most significant byte first, float bits least
// significant byte first.
void AppendSample(std::vector<uint8_t>& out, const Document& d, const uint8_t* sample) {
    if (d.depth == 32) {
        uint32_t bits = 0;
        std::memcpy(&bits, sample, sizeof bits);
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(uint8_t(bits >> shift));
        }
        return;
    }
    uint32_t wide = 0;
    if (d.depth == 8) {
        wide = uint32_t(*sample) * 257u;
    } else {
        uint16_t v = 0;
        std::memcpy(&v, sample, sizeof v);
        wide = std::min<uint32_t>(65535u, uint32_t(v) * 65535u / kHostMax16);
    }
    out.push_back(uint8_t(wide >> 8));
    out.push_back(uint8_t(wide & 0xFF));
}

size_t HeaderLength(const std::vector<uint8_t>& file) {
    size_t lines = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\n' && ++lines == 4) {
            return i + 1;
        }
    }
    return file.size();
}

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

bool IsLegal(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '(' || c == ')' || c == '_';
}

} // namespace

size_t Document::SampleBytes() const {
    return depth == 16 ? 2 : depth == 32 ? 4 : 1;
}

const uint8_t* Document::Sample(int32_t x, int32_t y, int plane) const {
    return samples.data() + (size_t(y) * size_t(width) + size_t(x)) * PixelBytes() +
           size_t(plane) * SampleBytes();
}

std::string Document::Describe() const {
    return std::string(IsGrayMode(mode)  ? "gray"
                       : IsRGBMode(mode) ? "RGB"
                                         : "mode " + std::to_string(mode)) +
           " (mode " + std::to_string(mode) + ") " + std::to_string(depth) + "-bit, " +
           std::to_string(planes) + " planes, " + std::to_string(width) + "x" + std::to_string(height);
}

void SetSampleSeed(uint64_t seed) {
    sampleSeed = seed;
}

Document MakeDocument(int16_t mode, int16_t depth, int16_t planes, int32_t width, int32_t height,
                      std::string name) {
    Document d;
    d.mode = mode;
    d.depth = depth;
    d.planes = planes;
    d.width = width;
    d.height = height;
    d.name = std::move(name);
    if (planes <= 0 || width <= 0 || height <= 0) {
        return d;
    }
    d.samples.resize(size_t(width) * size_t(height) * d.PixelBytes());
    size_t offset = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int plane = 0; plane < planes; ++plane, offset += d.SampleBytes()) {
                StoreSample(d, offset, x, y, plane);
            }
        }
    }
    return d;
}

bool IsGrayMode(int16_t mode) {
    return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
}

bool IsRGBMode(int16_t mode) {
    return mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96;
}

bool IsSupported(int16_t mode, int16_t depth, int16_t planes) {
    const bool depthKnown = depth == 8 || depth == 16 || depth == 32;
    return depthKnown && ((IsRGBMode(mode) && planes >= 3) || (IsGrayMode(mode) && planes >= 1));
}

std::vector<uint8_t> ExpectedFile(const Document& d) {
    const bool pfm = d.depth == 32;
    std::vector<uint8_t> out;
    AppendText(out, std::string(pfm ? "PF" : "P6") + "\n" + std::to_string(d.width) + "\n" +
                        std::to_string(d.height) + "\n" + (pfm ? "-1.0000" : "65535") + "\n");
    const bool gray = !IsRGBMode(d.mode) || d.planes < 3;
    for (int32_t y = 0; y < d.height; ++y) {
        for (int32_t x = 0; x < d.width; ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                AppendSample(out, d, d.Sample(x, y, gray ? 0 : channel));
            }
        }
    }
    return out;
}

std::string ExpectedName(const std::string& documentName, int16_t depth) {
    std::string name = documentName.substr(0, documentName.find('\0'));
    const size_t separator = name.rfind('/');
    if (separator != std::string::npos) {
        name.erase(0, separator + 1);
    }
    const size_t point = name.rfind('.');
    if (point != std::string::npos) {
        name.erase(point);
    }
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !IsLegal(c); }, '_');
    if (name.empty()) {
        return name;
    }
    return name + (depth == 32 ? ".pfm" : ".ppm");
}

std::string FirstDifference(const std::vector<uint8_t>& seen, const Document& document) {
    const std::vector<uint8_t> expected = ExpectedFile(document);
    const size_t common = std::min(seen.size(), expected.size());
    const auto mismatch = std::mismatch(seen.begin(), seen.begin() + long(common), expected.begin());
    const size_t at = size_t(mismatch.first - seen.begin());
    if (at == common) {
        if (seen.size() == expected.size()) {
            return std::string();
        }
        return "a file of " + std::to_string(seen.size()) + " bytes instead of " +
               std::to_string(expected.size());
    }
    std::string where =
        "byte " + std::to_string(at) + " is " + Hex(seen[at]) + " instead of " + Hex(expected[at]);
    const size_t header = HeaderLength(expected);
    if (at < header) {
        return where + " (in the header)";
    }
    const size_t sampleBytes = document.depth == 32 ? 4 : 2;
    const size_t sample = (at - header) / sampleBytes;
    const size_t pixel = sample / 3;
    return where + " (row " + std::to_string(pixel / size_t(document.width)) + ", column " +
           std::to_string(pixel % size_t(document.width)) + ", channel " + std::to_string(sample % 3) + ")";
}

} // namespace validate

#include "ExpectedFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace host {
namespace {

constexpr uint32_t kHostMax16 = 32768;

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

std::vector<std::string> ExpectedHeaderLines(int32_t width, int32_t height, int16_t depth) {
    const bool pfm = depth == 32;
    return {pfm ? "PF\n" : "P6\n", std::to_string(width) + "\n", std::to_string(height) + "\n",
            pfm ? "-1.0000\n" : "65535\n"};
}

// File order is a property of the format: 16-bit samples most significant byte first, float bits least
// significant byte first.
void AppendExpectedSample(std::vector<uint8_t>& out, int16_t depth, const uint8_t* sample) {
    if (depth == 32) {
        uint32_t bits = 0;
        std::memcpy(&bits, sample, sizeof bits);
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(uint8_t(bits >> shift));
        }
        return;
    }
    uint32_t wide = 0;
    if (depth == 8) {
        wide = uint32_t(*sample) * 257u;
    } else {
        uint16_t v = 0;
        std::memcpy(&v, sample, sizeof v);
        wide = std::min<uint32_t>(65535u, uint32_t(v) * 65535u / kHostMax16);
    }
    out.push_back(uint8_t(wide >> 8));
    out.push_back(uint8_t(wide & 0xFF));
}

std::vector<uint8_t> ExpectedFile(const MemoryDocument& d) {
    std::vector<uint8_t> out;
    for (const std::string& line : ExpectedHeaderLines(d.Width(), d.Height(), d.Depth())) {
        out.insert(out.end(), line.begin(), line.end());
    }
    const bool gray = !IsRGBMode(d.Mode()) || d.Planes() < 3;
    for (int32_t y = 0; y < d.Height(); ++y) {
        for (int32_t x = 0; x < d.Width(); ++x) {
            for (int16_t channel = 0; channel < 3; ++channel) {
                AppendExpectedSample(out, d.Depth(), d.SampleAddress(x, y, gray ? 0 : channel));
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

std::string FirstDifference(const std::vector<uint8_t>& seen, const MemoryDocument& document) {
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
    const size_t sampleBytes = document.Depth() == 32 ? 4 : 2;
    const size_t sample = (at - header) / sampleBytes;
    const size_t pixel = sample / 3;
    return where + " (row " + std::to_string(pixel / size_t(document.Width())) + ", column " +
           std::to_string(pixel % size_t(document.Width())) + ", channel " + std::to_string(sample % 3) + ")";
}

} // namespace host

// e2e_pixels: deterministic test images and the pixel comparison of the end-to-end tests.
//
//   e2e_pixels pam  TYPE W H C SEED OUT        the pattern as a netpbm PAM (u8, u16)
//   e2e_pixels raw  TYPE W H C SEED OUT        the pattern as raw samples in the processor's order
//   e2e_pixels exr  TYPE W H C SEED OUT        the pattern as OpenEXR (half, f32): Y[A] or RGB[A]
//   e2e_pixels compare TYPE W H C SEED FORMAT FILE [flipped]
//
// compare checks a decoded export against what the source held, through the export's mapping: 8-bit v*257,
// 16-bit through the host's range (round(v*32768/65535), then floor(h*65535/32768)), floats bit for bit;
// gray written three times, channels after the colour ones dropped. FORMAT is how FILE holds the decoded
// samples: plain (netpbm plain PPM text), rgb16be (raw 16-bit), f32le (raw floats), quantized (raw 16-bit
// of floats clamped to 0..1, within one step, as a 16-bit decoder shows a PFM), tiff (read with libtiff).
// The first differing sample is reported with its position.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <half.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class Type { U8, U16, F32, Half };

struct Pattern {
    Type type;
    uint32_t width, height, channels, seed;

    uint32_t Hash(uint32_t x, uint32_t y, uint32_t c) const {
        uint32_t h = seed * 0x9E3779B1u ^ x * 0x85EBCA77u ^ y * 0xC2B2AE3Du ^ c * 0x27D4EB2Fu;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        h *= 0x297A2D39u;
        return h ^ (h >> 15);
    }
    // Integer samples: the first pixel black, the second white, then spread over the whole range.
    uint32_t Int(uint32_t x, uint32_t y, uint32_t c) const {
        const uint32_t max = type == Type::U8 ? 0xFF : 0xFFFF;
        if (y == 0 && x < 2) {
            return x == 0 ? 0 : max;
        }
        return Hash(x, y, c) & max;
    }
    // Float samples: mostly 0..1, with negatives, values above 1, tiny, signed zero, infinity and NaN.
    float Float(uint32_t x, uint32_t y, uint32_t c) const {
        const uint32_t h = Hash(x, y, c);
        const float unit = float(h >> 8) / float(1 << 24);
        if (type == Type::Half) {
            return float(half(unit * 4.0f - 1.0f));
        }
        switch (h % 16) {
        case 0:
            return -unit * 1000.0f;
        case 1:
            return unit * 1e30f;
        case 2:
            return unit * 1e-40f; // subnormal
        case 3:
            return (h & 0x100) ? -0.0f : INFINITY;
        case 4:
            return std::nanf("");
        default:
            return unit;
        }
    }
    uint32_t Bits(uint32_t x, uint32_t y, uint32_t c) const {
        const float f = Float(x, y, c);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return bits;
    }
};

Type ParseType(const std::string& name) {
    if (name == "u8") {
        return Type::U8;
    }
    if (name == "u16") {
        return Type::U16;
    }
    if (name == "f32") {
        return Type::F32;
    }
    if (name == "half") {
        return Type::Half;
    }
    throw std::invalid_argument("unknown sample type " + name);
}

void WritePam(const Pattern& p, const std::string& out) {
    static const char* const kTupleTypes[] = {"GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"};
    std::ofstream file(out, std::ios::binary);
    file << "P7\nWIDTH " << p.width << "\nHEIGHT " << p.height << "\nDEPTH " << p.channels << "\nMAXVAL "
         << (p.type == Type::U8 ? 255 : 65535) << "\nTUPLTYPE " << kTupleTypes[p.channels - 1]
         << "\nENDHDR\n";
    std::vector<unsigned char> row;
    for (uint32_t y = 0; y < p.height; ++y) {
        row.clear();
        for (uint32_t x = 0; x < p.width; ++x) {
            for (uint32_t c = 0; c < p.channels; ++c) {
                const uint32_t v = p.Int(x, y, c);
                if (p.type == Type::U16) {
                    row.push_back(static_cast<unsigned char>(v >> 8)); // PAM: most significant byte first
                }
                row.push_back(static_cast<unsigned char>(v & 0xFF));
            }
        }
        file.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
}

void WriteRaw(const Pattern& p, const std::string& out) {
    std::ofstream file(out, std::ios::binary);
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            for (uint32_t c = 0; c < p.channels; ++c) {
                if (p.type == Type::U8) {
                    const uint8_t v = static_cast<uint8_t>(p.Int(x, y, c));
                    file.write(reinterpret_cast<const char*>(&v), 1);
                } else if (p.type == Type::U16) {
                    const uint16_t v = static_cast<uint16_t>(p.Int(x, y, c));
                    file.write(reinterpret_cast<const char*>(&v), 2);
                } else {
                    const float v = p.Float(x, y, c);
                    file.write(reinterpret_cast<const char*>(&v), 4);
                }
            }
        }
    }
}

void WriteExr(const Pattern& p, const std::string& out) {
    static const char* const kNames[4][4] = {{"Y"}, {"Y", "A"}, {"R", "G", "B"}, {"R", "G", "B", "A"}};
    const Imf::PixelType pixelType = p.type == Type::Half ? Imf::HALF : Imf::FLOAT;
    Imf::Header header(static_cast<int>(p.width), static_cast<int>(p.height));
    header.compression() = Imf::ZIP_COMPRESSION;
    std::vector<std::vector<half>> halves(p.channels);
    std::vector<std::vector<float>> floats(p.channels);
    Imf::FrameBuffer frame;
    for (uint32_t c = 0; c < p.channels; ++c) {
        const char* name = kNames[p.channels - 1][c];
        header.channels().insert(name, Imf::Channel(pixelType));
        for (uint32_t y = 0; y < p.height; ++y) {
            for (uint32_t x = 0; x < p.width; ++x) {
                halves[c].push_back(half(p.Float(x, y, c)));
                floats[c].push_back(p.Float(x, y, c));
            }
        }
        char* base = p.type == Type::Half ? reinterpret_cast<char*>(halves[c].data())
                                          : reinterpret_cast<char*>(floats[c].data());
        const size_t size = p.type == Type::Half ? sizeof(half) : sizeof(float);
        frame.insert(name, Imf::Slice(pixelType, base, size, size * p.width));
    }
    Imf::OutputFile file(out.c_str(), header);
    file.setFrameBuffer(frame);
    file.writePixels(static_cast<int>(p.height));
}

// What the export holds for source sample (x, y, output channel k), as 16-bit value or float bits.
uint32_t Expected(const Pattern& p, uint32_t x, uint32_t y, uint32_t k) {
    const uint32_t c = p.channels < 3 ? 0 : k;
    switch (p.type) {
    case Type::U8:
        return p.Int(x, y, c) * 257;
    case Type::U16: {
        const uint32_t host = (p.Int(x, y, c) * 32768 + 32767) / 65535;
        return std::min<uint32_t>(host * 65535 / 32768, 65535);
    }
    default:
        return p.Bits(x, y, c);
    }
}

class Samples {
public:
    virtual ~Samples() = default;
    virtual uint32_t Next() = 0; // the next decoded sample, in file order
};

class PlainPpm : public Samples {
public:
    PlainPpm(const std::string& path, const Pattern& p) : in_(path) {
        std::string magic;
        uint32_t w = 0, h = 0, max = 0;
        in_ >> magic >> w >> h >> max;
        if (magic != "P3" || w != p.width || h != p.height || max != 65535) {
            throw std::runtime_error("netpbm decoded " + magic + " " + std::to_string(w) + "x" +
                                     std::to_string(h) + " maxval " + std::to_string(max) + ", expected P3 " +
                                     std::to_string(p.width) + "x" + std::to_string(p.height) +
                                     " maxval 65535");
        }
    }
    uint32_t Next() override {
        uint32_t v = 0;
        if (!(in_ >> v)) {
            throw std::runtime_error("the decoded samples end early");
        }
        return v;
    }

private:
    std::ifstream in_;
};

class RawSamples : public Samples {
public:
    RawSamples(const std::string& path, size_t bytes, bool bigEndian)
        : in_(path, std::ios::binary), bytes_(bytes), bigEndian_(bigEndian) {}
    uint32_t Next() override {
        unsigned char b[4] = {};
        if (!in_.read(reinterpret_cast<char*>(b), static_cast<std::streamsize>(bytes_))) {
            throw std::runtime_error("the decoded samples end early");
        }
        if (bytes_ == 2) {
            return bigEndian_ ? uint32_t(b[0]) << 8 | b[1] : uint32_t(b[1]) << 8 | b[0];
        }
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    bool AtEnd() { return in_.peek() == std::char_traits<char>::eof(); }

private:
    std::ifstream in_;
    size_t bytes_;
    bool bigEndian_;
};

class TiffSamples : public Samples {
public:
    TiffSamples(const std::string& path, const Pattern& p) : tiff_(TIFFOpen(path.c_str(), "r")) {
        uint32_t w = 0, h = 0;
        uint16_t spp = 0, bits = 0;
        if (tiff_ == nullptr) {
            throw std::runtime_error("libtiff cannot open " + path);
        }
        TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
        const uint16_t wantBits = p.type == Type::U8 || p.type == Type::U16 ? 16 : 32;
        if (w != p.width || h != p.height || spp != 3 || bits != wantBits) {
            throw std::runtime_error("the TIFF is " + std::to_string(w) + "x" + std::to_string(h) + ", " +
                                     std::to_string(spp) + " samples of " + std::to_string(bits) + " bits");
        }
        bytes_ = bits / 8;
        row_.resize(size_t(TIFFScanlineSize(tiff_)));
        offset_ = row_.size();
    }
    ~TiffSamples() override { TIFFClose(tiff_); }
    uint32_t Next() override {
        if (offset_ == row_.size()) {
            if (TIFFReadScanline(tiff_, row_.data(), y_++, 0) != 1) {
                throw std::runtime_error("libtiff cannot read row " + std::to_string(y_ - 1));
            }
            offset_ = 0;
        }
        uint32_t v = 0;
        std::memcpy(&v, row_.data() + offset_, bytes_); // the processor's order, little-endian here
        offset_ += bytes_;
        return v;
    }

private:
    TIFF* tiff_;
    std::vector<unsigned char> row_;
    size_t offset_ = 0;
    size_t bytes_ = 2;
    uint32_t y_ = 0;
};

bool Matches(uint32_t expected, uint32_t actual, bool quantized) {
    if (!quantized) {
        return expected == actual;
    }
    float f;
    std::memcpy(&f, &expected, 4);
    if (!std::isfinite(f)) {
        return true; // a 16-bit decoder has no way to show them
    }
    const long want = std::lround(std::fmin(std::fmax(f, 0.0f), 1.0f) * 65535.0f);
    return std::labs(want - long(actual)) <= 1;
}

std::string Show(const Pattern& p, uint32_t value, bool asFloat) {
    if (!asFloat || p.type == Type::U8 || p.type == Type::U16) {
        return std::to_string(value);
    }
    float f;
    std::memcpy(&f, &value, 4);
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08x)", double(f), value);
    return text;
}

int Compare(const Pattern& p, const std::string& format, const std::string& path, bool flipped) {
    std::unique_ptr<Samples> samples;
    const bool quantized = format == "quantized";
    if (format == "plain") {
        samples = std::make_unique<PlainPpm>(path, p);
    } else if (format == "rgb16be" || quantized) {
        samples = std::make_unique<RawSamples>(path, 2, true);
    } else if (format == "f32le") {
        samples = std::make_unique<RawSamples>(path, 4, false);
    } else if (format == "tiff") {
        samples = std::make_unique<TiffSamples>(path, p);
    } else {
        throw std::invalid_argument("unknown format " + format);
    }
    for (uint32_t row = 0; row < p.height; ++row) {
        const uint32_t y = flipped ? p.height - 1 - row : row;
        for (uint32_t x = 0; x < p.width; ++x) {
            for (uint32_t k = 0; k < 3; ++k) {
                const uint32_t expected = Expected(p, x, y, k);
                const uint32_t actual = samples->Next();
                if (!Matches(expected, actual, quantized)) {
                    const bool floats = !quantized && (p.type == Type::F32 || p.type == Type::Half);
                    std::cerr << path << ": first difference at x=" << x << ", y=" << y << ", channel=" << k
                              << ": expected " << Show(p, expected, !quantized) << ", decoded "
                              << Show(p, actual, floats) << '\n';
                    return 1;
                }
            }
        }
    }
    if (auto* raw = dynamic_cast<RawSamples*>(samples.get()); raw != nullptr && !raw->AtEnd()) {
        std::cerr << path << ": more decoded samples than " << p.width << "x" << p.height << "x3\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() < 7) {
            std::cerr << "usage: e2e_pixels pam|raw|exr|compare TYPE W H C SEED ...\n";
            return 2;
        }
        const Pattern p{ParseType(args[1]), uint32_t(std::stoul(args[2])), uint32_t(std::stoul(args[3])),
                        uint32_t(std::stoul(args[4])), uint32_t(std::stoul(args[5]))};
        if (p.channels < 1 || p.channels > 4) {
            throw std::invalid_argument("1 to 4 channels");
        }
        const std::string& command = args[0];
        if (command == "pam") {
            WritePam(p, args[6]);
        } else if (command == "raw") {
            WriteRaw(p, args[6]);
        } else if (command == "exr") {
            WriteExr(p, args[6]);
        } else if (command == "compare" && args.size() >= 8) {
            return Compare(p, args[6], args[7], args.size() > 8 && args[8] == "flipped");
        } else {
            throw std::invalid_argument("unknown command " + command);
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "e2e_pixels: " << e.what() << '\n';
        return 2;
    }
}

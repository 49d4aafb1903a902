// The input's layout, in order (multi-byte values little-endian):
//   host flags      bits 0-2 handle routines (value % 5, HandleMode), bit 3 no advanceState, bit 4 no
//                   progressProc, bit 5 no abortProc, bit 6 the companion is
//                   registered (launching it is slow, so most inputs go without)
//   setting         bits 0-1 FolderState, bits 2-3 SuiteMode (value % 3), bits 4-6 TmpState, bit 7 a hazard
//                   byte follows
//   hazard          (only when announced) bits 0-6 Hazard (value % 11), bit 7 a uint16 file-size limit
//                   follows
//   mode, depth     one byte: below 0xF0 an index into a table of likely values; else a raw int16 follows
//   planes          one byte: below 0xF0 the value % 9; else a raw int16 follows
//   width, height   one byte each: value % 67 - 2, so -2..64
//   imageSize       int16 rows, int16 columns
//   maxData, HostSupports32BitCoordinates, PluginUsing32BitCoordinates: int32 each
//   filename        one length byte, then that many bytes
//   selectors       one count byte (% 9), then one byte each: value % 8 - 1, so -1..6
//   actions         one count byte (% 17), then per action: request index, kind (% 6), and for Fail an int16
//                   code (0 read as -1), for ShortRowBytes and LongRowBytes one byte (+1)
//   samples         the rest
#include "Scenario.h"

#include <algorithm>
#include <array>

namespace fuzz {
namespace {

constexpr uint8_t uiRAW = 0xF0;
constexpr std::array<int16_t, 12> aMODES = {1, 3, 10, 11, 16, 17, 0, 2, 4, 7, 8, 9};
constexpr std::array<int16_t, 6> aDEPTHS = {8, 16, 32, 1, 24, 0};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint8_t Byte() { return at < size ? data[at++] : 0; }
    // Low byte first; the two reads are sequenced, so every compiler decodes the same input alike.
    int16_t Int16() {
        const uint8_t low = Byte();
        const uint8_t high = Byte();
        return static_cast<int16_t>(low | high << 8);
    }
    int32_t Int32() {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= uint32_t(Byte()) << shift;
        }
        return static_cast<int32_t>(value);
    }
    std::vector<uint8_t> Rest() { return std::vector<uint8_t>(data + std::min(at, size), data + size); }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

template <size_t N>
int16_t Pick(Reader& in, const std::array<int16_t, N>& table) {
    const uint8_t choice = in.Byte();
    return choice < uiRAW ? table[choice % N] : in.Int16();
}

int16_t PickPlanes(Reader& in) {
    const uint8_t choice = in.Byte();
    return choice < uiRAW ? int16_t(choice % 9) : in.Int16();
}

Action ReadAction(Reader& in) {
    Action action;
    action.kind = static_cast<Action::Kind>(in.Byte() % 6);
    switch (action.kind) {
    case Action::Fail:
        action.code = in.Int16();
        if (action.code == 0) {
            action.code = -1;
        }
        break;
    case Action::ShortRowBytes:
    case Action::LongRowBytes:
        action.bytes = in.Byte() + 1;
        break;
    default:
        break;
    }
    return action;
}

// Many planes make wide rows: the document shrinks until it holds at most uiMAX_SAMPLES samples.
void Bound(Scenario& s) {
    if (s.planes <= 0 || s.width <= 0 || s.height <= 0) {
        return;
    }
    const size_t planes = size_t(s.planes);
    if (size_t(s.width) * planes > uiMAX_SAMPLES) {
        s.width = std::max<int32_t>(1, int32_t(uiMAX_SAMPLES / planes));
    }
    if (size_t(s.width) * size_t(s.height) * planes > uiMAX_SAMPLES) {
        s.height = std::max<int32_t>(1, int32_t(uiMAX_SAMPLES / (size_t(s.width) * planes)));
    }
}

} // namespace

Action Scenario::ActionAt(size_t request) const {
    const auto it = actions.find(request);
    return it == actions.end() ? Action{} : it->second;
}

uint8_t Scenario::SampleByte(size_t offset) const {
    return samples.empty() ? uint8_t(offset * 31 + 7) : samples[offset % samples.size()];
}

Scenario Decode(const uint8_t* data, size_t size) {
    Reader in(data, size);
    Scenario s;
    const uint8_t flags = in.Byte();
    s.handles = static_cast<HandleMode>((flags & 7) % 5);
    s.advanceState = (flags & 0x08) == 0;
    s.progressProc = (flags & 0x10) == 0;
    s.abortProc = (flags & 0x20) == 0;
    s.companion = (flags & 0x40) != 0;
    const uint8_t setting = in.Byte();
    s.folder = static_cast<FolderState>(setting & 3);
    s.suite = static_cast<SuiteMode>(((setting >> 2) & 3) % 3);
    s.tmp = static_cast<TmpState>((setting >> 4) & 7);
    if ((setting & 0x80) != 0) {
        const uint8_t hazard = in.Byte();
        s.hazard = static_cast<Hazard>((hazard & 0x7F) % 11);
        if ((hazard & 0x80) != 0) {
            s.sizeLimit = static_cast<uint16_t>(in.Int16());
        }
    }

    s.mode = Pick(in, aMODES);
    s.depth = Pick(in, aDEPTHS);
    s.planes = PickPlanes(in);
    s.width = int32_t(in.Byte() % 67) - 2;
    s.height = int32_t(in.Byte() % 67) - 2;
    Bound(s);
    s.size16v = in.Int16();
    s.size16h = in.Int16();
    s.maxData = in.Int32();
    s.hostSupports32Bit = in.Int32();
    s.pluginUsing32Bit = in.Int32();

    const uint8_t length = in.Byte();
    for (uint8_t i = 0; i < length; ++i) {
        s.filename.push_back(static_cast<char>(in.Byte()));
    }
    const uint8_t selectors = in.Byte() % 9;
    for (uint8_t i = 0; i < selectors; ++i) {
        s.selectors.push_back(static_cast<int16_t>(in.Byte() % 8 - 1));
    }
    const uint8_t actions = in.Byte() % 17;
    for (uint8_t i = 0; i < actions; ++i) {
        const size_t request = in.Byte();
        s.actions[request] = ReadAction(in);
    }
    s.samples = in.Rest();
    return s;
}

host::MemoryDocument ToDocument(const Scenario& s) {
    host::MemoryDocument document(s.mode, s.depth, s.planes, s.width, s.height, s.filename);
    std::vector<uint8_t>& bytes = document.Bytes();
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = s.SampleByte(i);
    }
    return document;
}

} // namespace fuzz

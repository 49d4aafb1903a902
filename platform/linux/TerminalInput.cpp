#include "platform/linux/TerminalInput.h"

#include "platform/Toolbox.h"
#include "platform/linux/TerminalDisplay.h"

#include <algorithm>
#include <cstdio>

namespace {

const char cESCAPE = '\x1b';
// Mouse report button bits: motion while a button is held, and the wheel.
const int iMOTION = 32;
const int iWHEEL = 64;

int16_t CellCentre(int cell, int size) {
    return static_cast<int16_t>(std::clamp(cell - 1, 0, 32767 / size - 1) * size + size / 2);
}

} // namespace

void CTerminalInput::Feed(const unsigned char* bytes, size_t length) {
    strBuffer.append(reinterpret_cast<const char*>(bytes), length);
    while (!strBuffer.empty() && ParseOne()) {
    }
}

void CTerminalInput::Idle() {
    strBuffer.clear();
}

bool CTerminalInput::Next(EventRecord& event) {
    if (aEvents.empty()) {
        return false;
    }
    event = aEvents.front();
    aEvents.pop_front();
    return true;
}

bool CTerminalInput::ParseOne() {
    if (strBuffer[0] != cESCAPE) {
        Key(strBuffer[0] == '\n' ? static_cast<unsigned char>(kReturnCharCode)
                                 : static_cast<unsigned char>(strBuffer[0]));
        strBuffer.erase(0, 1);
        return true;
    }
    // A lone escape, or one followed by anything but a sequence's introducer (another Escape press, or a key
    // typed right after it), is the Escape key.
    if (strBuffer.size() < 2 || (strBuffer[1] != '[' && strBuffer[1] != 'O')) {
        Key(kEscapeCharCode);
        strBuffer.erase(0, 1);
        return true;
    }
    if (strBuffer[1] == 'O') {
        // A function key (SS3): no dialog here answers it.
        if (strBuffer.size() < 3) {
            return false;
        }
        strBuffer.erase(0, 3);
        return true;
    }
    const size_t length = ControlSequenceLength();
    if (length == 0) {
        return false;
    }
    const std::string sequence = strBuffer.substr(0, length);
    strBuffer.erase(0, length);
    int button = 0, col = 0, row = 0;
    char final = 0;
    if (sequence.size() == 6 && sequence[2] == 'M') {
        // Button 3 is a release of whichever button was down.
        button = static_cast<unsigned char>(sequence[3]) - 32;
        Mouse(button, static_cast<unsigned char>(sequence[4]) - 32,
              static_cast<unsigned char>(sequence[5]) - 32, (button & 3) == 3 ? mouseUp : mouseDown);
    } else if (std::sscanf(sequence.c_str(), "\x1b[<%d;%d;%d%c", &button, &col, &row, &final) == 4) {
        Mouse(button, col, row, final == 'm' ? mouseUp : mouseDown);
    }
    return true;
}

size_t CTerminalInput::ControlSequenceLength() const {
    // The older mouse report: three bytes after "ESC [ M", any values.
    if (strBuffer.size() >= 3 && strBuffer[2] == 'M') {
        return strBuffer.size() >= 6 ? 6 : 0;
    }
    for (size_t i = 2; i < strBuffer.size(); ++i) {
        const auto c = static_cast<unsigned char>(strBuffer[i]);
        if (c >= 0x40 && c <= 0x7E) {
            return i + 1;
        }
        if (c < 0x20) {
            // Not a sequence after all: drop its start, keep the rest as keys.
            return i;
        }
    }
    return 0;
}

void CTerminalInput::Mouse(int button, int col, int row, uint16_t what) {
    rMouse = Point{CellCentre(row, iCELL_HEIGHT), CellCentre(col, iCELL_WIDTH)};
    // Only the left button counts (3: the older encoding's release); motion just moves the mouse.
    if ((button & (iMOTION | iWHEEL)) != 0 || ((button & 3) != 0 && (button & 3) != 3)) {
        return;
    }
    EventRecord event{};
    event.what = what;
    event.where = rMouse;
    aEvents.push_back(event);
}

void CTerminalInput::Key(unsigned char key) {
    EventRecord event{};
    event.what = keyDown;
    event.message = key;
    event.where = rMouse;
    aEvents.push_back(event);
}

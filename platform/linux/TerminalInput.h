// What a terminal sends, read as events: keys, and the mouse reports of xterm's button-event tracking in
// either encoding (SGR "ESC [ < b ; col ; row M|m" or the older "ESC [ M b col row").
#ifndef QUENFIELD_PLATFORM_LINUX_TERMINALINPUT_H
#define QUENFIELD_PLATFORM_LINUX_TERMINALINPUT_H

#include "ExportInterface.h"

#include <cstddef>
#include <deque>
#include <string>

class CTerminalInput {
public:
    // Bytes as read. Each Escape press counts on its own, also when several arrive in one read; a sequence
    // cut by the read waits for the rest.
    void Feed(const unsigned char* bytes, size_t length);
    // Nothing more came: an unfinished sequence is dropped.
    void Idle();
    // The next key, mouse-down or mouse-up; false when there is none. where is the centre of the mouse's
    // cell in pixels (the mouse as last reported, for keys).
    bool Next(EventRecord& event);
    // Where the mouse was last reported.
    Point Mouse() const { return rMouse; }

private:
    // Reads one event or sequence from the front of strBuffer; false when it needs more bytes.
    bool ParseOne();
    // The length of the control sequence at the front (after "ESC ["), 0 while it is unfinished.
    size_t ControlSequenceLength() const;
    void Mouse(int button, int col, int row, uint16_t what);
    void Key(unsigned char key);

    std::string strBuffer;
    std::deque<EventRecord> aEvents;
    Point rMouse{0, 0};
};

#endif

// Keys and xterm mouse reports read from a terminal, including bytes that arrive together or cut apart.
#include "platform/linux/TerminalInput.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// An event in short: "key 27", "down 72,76" (v,h), "up 72,76".
std::vector<std::string> Read(CTerminalInput& input) {
    std::vector<std::string> events;
    EventRecord event{};
    while (input.Next(event)) {
        const std::string where = std::to_string(event.where.v) + "," + std::to_string(event.where.h);
        events.push_back(event.what == keyDown     ? "key " + std::to_string(event.message)
                         : event.what == mouseDown ? "down " + where
                         : event.what == mouseUp   ? "up " + where
                                                   : "other");
    }
    return events;
}

std::vector<std::string> Feed(std::initializer_list<std::string> chunks, bool idleBetween = false) {
    CTerminalInput input;
    for (const std::string& chunk : chunks) {
        input.Feed(reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size());
        if (idleBetween) {
            input.Idle();
        }
    }
    return Read(input);
}

using Events = std::vector<std::string>;

TEST(TerminalInput, ReadsEachEscapeAndSkipsFunctionKeys) {
    EXPECT_EQ(Feed({"\x1b\x1b"}), (Events{"key 27", "key 27"}));
    EXPECT_EQ(Feed({"\x1b"}, true), (Events{"key 27"}));
    EXPECT_EQ(Feed({"\x1b[A\x1b"}), (Events{"key 27"})) << "cursor up, then Escape";
    EXPECT_EQ(Feed({"\x1bOP\x1b[15~x"}), (Events{"key 120"})) << "F1 and F5 answer nothing";
    EXPECT_EQ(Feed({"\x1bx"}), (Events{"key 27", "key 120"})) << "Escape, then a key typed at once";
    EXPECT_EQ(Feed({"a\n\r\x03"}), (Events{"key 97", "key 13", "key 13", "key 3"}));
}

TEST(TerminalInput, ReadsLeftButtonPressesAndReleasesInBothEncodings) {
    // Cell column 10, row 5 (from 1): its centre is pixel 76, 72.
    EXPECT_EQ(Feed({"\x1b[<0;10;5M\x1b[<0;10;5m"}), (Events{"down 72,76", "up 72,76"}));
    // The older encoding: values plus 32; button 3 is the release.
    EXPECT_EQ(Feed({"\x1b[M *%\x1b[M#*%"}), (Events{"down 72,76", "up 72,76"}));
    // Other buttons, the wheel and motion: no event.
    EXPECT_EQ(Feed({"\x1b[<2;10;5M\x1b[<2;10;5m\x1b[<64;10;5M\x1b[<32;10;5M"}), Events{});
}

TEST(TerminalInput, TracksTheMouseAndGivesKeysItsPlace) {
    CTerminalInput input;
    const std::string motion = "\x1b[<32;3;2Mq";
    input.Feed(reinterpret_cast<const unsigned char*>(motion.data()), motion.size());
    EXPECT_EQ(input.Mouse().v, 24);
    EXPECT_EQ(input.Mouse().h, 20);
    EXPECT_EQ(Read(input), (Events{"key 113"}));
}

TEST(TerminalInput, WaitsForTheRestOfACutSequenceUnlessNothingComes) {
    EXPECT_EQ(Feed({"\x1b[<0;1", "0;5M"}), (Events{"down 72,76"}));
    EXPECT_EQ(Feed({"\x1b[M ", "*%"}), (Events{"down 72,76"}));
    EXPECT_EQ(Feed({"\x1b[<0;1", "x"}, true), (Events{"key 120"})) << "the cut sequence is dropped when idle";
    EXPECT_EQ(Feed({"\x1b[1\n"}), (Events{"key 13"})) << "a control byte ends a broken sequence";
}

} // namespace

// For dialog tests: a scripted display in place of the terminal, and the host library's basic suite, which
// counts.
#ifndef QUENFIELD_TESTS_DIALOGTESTSUPPORT_H
#define QUENFIELD_TESTS_DIALOGTESTSUPPORT_H

#include "BasicSuite.h"
#include "platform/Dialogs.h"
#include "platform/Display.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "sdk/HostSuites.h"

#include <cstring>
#include <deque>
#include <functional>
#include <vector>

namespace dialogtest {

// A screen of fixed size and a queue of events. Each event is made when it is due, from the dialog as last
// shown, so that a click can aim at where the dialog stands by then. Installed for its lifetime.
class CScriptedDisplay final : public IDisplay {
public:
    using Step = std::function<EventRecord(const SDialogView&)>;

    explicit CScriptedDisplay(Rect screen = Rect{0, 0, 768, 1024}) : screen_(screen) { InstallDisplay(this); }
    ~CScriptedDisplay() override { InstallDisplay(nullptr); }
    CScriptedDisplay(const CScriptedDisplay&) = delete;
    CScriptedDisplay& operator=(const CScriptedDisplay&) = delete;

    void Add(Step step) { steps_.push_back(std::move(step)); }
    size_t Remaining() const { return steps_.size(); }

    Rect ScreenBounds() override { return screen_; }
    void Show(const SDialogView& view) override {
        last = view;
        ++shows;
    }
    bool NextEvent(EventRecord& event) override {
        if (steps_.empty()) {
            ++exhausted;
            return false;
        }
        event = steps_.front()(last);
        steps_.pop_front();
        return true;
    }

    SDialogView last{};
    int shows = 0;
    int exhausted = 0; // times the script had nothing left

private:
    Rect screen_;
    std::deque<Step> steps_;
};

inline EventRecord MakeEvent(uint16_t what, uintptr_t message = 0, Point where = Point{0, 0}) {
    EventRecord event{};
    event.what = what;
    event.message = message;
    event.where = where;
    return event;
}

inline CScriptedDisplay::Step Key(unsigned char key) {
    return [key](const SDialogView&) { return MakeEvent(keyDown, key); };
}

inline CScriptedDisplay::Step Null() {
    return [](const SDialogView&) { return MakeEvent(nullEvent); };
}

// A mouse event at a point chosen from the dialog as shown.
inline CScriptedDisplay::Step Mouse(uint16_t what, std::function<Point(const SDialogView&)> aim) {
    return [what, aim](const SDialogView& view) { return MakeEvent(what, 0, aim(view)); };
}

inline Point Center(const Rect& rect) {
    return Point{static_cast<int16_t>((rect.top + rect.bottom) / 2),
                 static_cast<int16_t>((rect.left + rect.right) / 2)};
}

// The window standing at the centre of the dialog as shown: the dialog's own.
inline WindowRef WindowOf(const SDialogView& view) {
    WindowRef window = nullptr;
    FindWindow(Center(view.rcBounds), &window);
    return window;
}

// The host's side of the suites is the host library's; the events its UI hooks are given are kept here.
inline std::vector<EventRecord>& HostEvents() {
    static std::vector<EventRecord> events;
    return events;
}

// Also a processEvent of the test's own, for dialogs run without the suite.
inline void RecordEvent(EventRecord* event) {
    HostEvents().push_back(*event);
}

inline SPBasicSuite* BasicSuite() {
    return host::suites::Basic();
}

inline void ResetHost() {
    host::suites::Reset();
    host::suites::OnEvent([](const EventRecord& event) { HostEvents().push_back(event); });
    HostEvents().clear();
}

inline std::string Text(const unsigned char* text) {
    return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

inline void SetText(unsigned char* text, const std::string& value) {
    text[0] = static_cast<unsigned char>(value.size());
    std::memcpy(text + 1, value.data(), value.size());
    text[value.size() + 1] = 0;
}

} // namespace dialogtest

#endif

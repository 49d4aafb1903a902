// Which display a dialog opens: the one tests installed, else a window where there is an X display, else the
// terminal, else stderr.
#include "platform/Display.h"
#include "platform/linux/Display.h"

#include "platform/linux/TerminalDisplay.h"
#include "platform/linux/WindowDisplay.h"

#include <ctime>

namespace {

IDisplay* pInstalledDisplay = nullptr;

} // namespace

IDisplay* InstalledDisplay() {
    return pInstalledDisplay;
}

void InstallDisplay(IDisplay* display) {
    pInstalledDisplay = display;
}

std::unique_ptr<IDisplay> OpenUserDisplay() {
    if (std::unique_ptr<IDisplay> window = OpenWindowDisplay()) {
        return window;
    }
    return OpenTerminalDisplay();
}

uint32_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

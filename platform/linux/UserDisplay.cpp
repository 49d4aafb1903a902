// Which display a dialog opens: a window where there is an X display, else the terminal, else stderr.
#include "platform/linux/DisplayAccess.h"

std::unique_ptr<IDisplay> OpenUserDisplay() {
    if (std::unique_ptr<IDisplay> window = OpenWindowDisplay()) {
        return window;
    }
    return OpenTerminalDisplay();
}

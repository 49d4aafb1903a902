// Dialogs on the user's terminal: drawn on the alternate screen, keys read in raw mode. The terminal is
// given back as it was on every way out, signals included. Without a terminal that this process may use,
// the dialog's text goes to standard error and nobody is waited for.
#include "platform/linux/TerminalDisplay.h"

#include "platform/linux/DialogLayout.h"
#include "platform/linux/DialogPicture.h"
#include "platform/linux/Display.h"
#include "platform/linux/TerminalInput.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The alternate screen without a cursor, and xterm mouse reporting: presses, releases and motion while a
// button is held, in the SGR encoding where the terminal has it.
const char pcENTER_SCREEN[] = "\x1b[?1049h\x1b[?25l\x1b[?1002h\x1b[?1006h";
const char pcLEAVE_SCREEN[] = "\x1b[?1006l\x1b[?1002l\x1b[2J\x1b[?25h\x1b[?1049l";
// The frame around the content: the top border row carries the title, as the title bar does.
const Rect rcFRAME = {iTITLE_BAR_HEIGHT, iCELL_WIDTH, iCELL_HEIGHT, iCELL_WIDTH};
const int aSIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
const int iNULL_EVENT_MS = 100;

// What a signal handler needs to give the terminal back; one dialog runs at a time.
struct STerminalState {
    int iFd;
    termios rSaved;
    struct sigaction aPrevious[3];
};
STerminalState rTerminal;
volatile sig_atomic_t iRawMode = 0;
volatile sig_atomic_t iInterrupted = 0;

void WriteAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// Async-signal-safe.
void RestoreTerminal() {
    if (iRawMode == 0) {
        return;
    }
    iRawMode = 0;
    WriteAll(rTerminal.iFd, pcLEAVE_SCREEN, sizeof pcLEAVE_SCREEN - 1);
    tcsetattr(rTerminal.iFd, TCSADRAIN, &rTerminal.rSaved);
}

// Gives the terminal back, then lets the signal do what it would have done without the dialog.
void CB_RestoreOnSignal(int signal) {
    RestoreTerminal();
    iInterrupted = 1;
    for (int i = 0; i < 3; ++i) {
        if (aSIGNALS[i] == signal) {
            sigaction(signal, &rTerminal.aPrevious[i], nullptr);
        }
    }
    raise(signal);
}

// Blocks the signals above for its lifetime, so that the terminal state and the handlers change together.
class CSignalsBlocked {
public:
    CSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : aSIGNALS) {
            sigaddset(&set, signal);
        }
        sigprocmask(SIG_BLOCK, &set, &rSaved);
    }
    ~CSignalsBlocked() { sigprocmask(SIG_SETMASK, &rSaved, nullptr); }
    CSignalsBlocked(const CSignalsBlocked&) = delete;
    CSignalsBlocked& operator=(const CSignalsBlocked&) = delete;

private:
    sigset_t rSaved;
};

Rect CellsToScreen(int rows, int cols) {
    return Rect{0, 0, static_cast<int16_t>(rows * iCELL_HEIGHT), static_cast<int16_t>(cols * iCELL_WIDTH)};
}

Rect ScreenOf(int fd) {
    winsize size{};
    if (fd < 0 || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return CellsToScreen(24, 80);
    }
    // Pixel coordinates are 16-bit.
    return CellsToScreen(size.ws_row < 2000 ? size.ws_row : 2000, size.ws_col < 4000 ? size.ws_col : 4000);
}

class CTerminalDisplay final : public IDisplay {
public:
    explicit CTerminalDisplay(int fd) : iFd(fd) {
        CSignalsBlocked blocked;
        rTerminal.iFd = fd;
        tcgetattr(fd, &rTerminal.rSaved);
        termios raw = rTerminal.rSaved;
        raw.c_lflag &= ~(ICANON | ECHO | IEXTEN);
        raw.c_iflag &= ~(ICRNL | INLCR | IXON);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        // Interrupt stays a signal; suspend and quit would leave the terminal raw behind a stopped or dumped
        // process.
        raw.c_cc[VSUSP] = _POSIX_VDISABLE;
        raw.c_cc[VQUIT] = _POSIX_VDISABLE;
        struct sigaction action {};
        action.sa_handler = CB_RestoreOnSignal;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i) {
            sigaddset(&action.sa_mask, aSIGNALS[i]);
        }
        for (int i = 0; i < 3; ++i) {
            sigaction(aSIGNALS[i], &action, &rTerminal.aPrevious[i]);
        }
        iInterrupted = 0;
        tcsetattr(fd, TCSADRAIN, &raw);
        iRawMode = 1;
        WriteAll(fd, pcENTER_SCREEN, sizeof pcENTER_SCREEN - 1);
    }

    ~CTerminalDisplay() override {
        {
            CSignalsBlocked blocked;
            RestoreTerminal();
            for (int i = 0; i < 3; ++i) {
                sigaction(aSIGNALS[i], &rTerminal.aPrevious[i], nullptr);
            }
            iInterrupted = 0;
        }
        close(iFd);
    }

    CTerminalDisplay(const CTerminalDisplay&) = delete;
    CTerminalDisplay& operator=(const CTerminalDisplay&) = delete;

    Rect ScreenBounds() override { return ScreenOf(iFd); }

    void Show(const SDialogView& view) override {
        const Rect screen = ScreenBounds();
        if (!bShown || !SameRect(screen, rcScreen)) {
            // First shown where its template was centred; after a resize, centred again on the new size.
            const Point origin = bShown ? CentredOrigin(view.rcBounds.right - view.rcBounds.left,
                                                        view.rcBounds.bottom - view.rcBounds.top, screen)
                                        : Point{view.rcBounds.top, view.rcBounds.left};
            rShift = Point{static_cast<int16_t>(origin.v - view.rcBounds.top),
                           static_cast<int16_t>(origin.h - view.rcBounds.left)};
            rcScreen = screen;
            bShown = true;
        }
        rView = view;
        rFitted = FitView(view, rShift, screen, rcFRAME);
        const SDialogPicture picture = DrawDialog(rFitted);
        const int rows = screen.bottom / iCELL_HEIGHT;
        const int cols = screen.right / iCELL_WIDTH;
        std::string output = "\x1b[2J";
        for (size_t i = 0; i < picture.aRows.size(); ++i) {
            const int row = picture.iTop + static_cast<int>(i);
            const std::string& line = picture.aRows[i];
            if (row < 0 || row >= rows || picture.iLeft < 0 || picture.iLeft >= cols) {
                continue;
            }
            output += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(picture.iLeft + 1) + "H";
            output += line.substr(0, cols - picture.iLeft);
        }
        if (output != strDrawn) {
            WriteAll(iFd, output.data(), output.size());
            strDrawn = output;
        }
    }

    bool NextEvent(EventRecord& event) override {
        if (!rInput.Next(event)) {
            if (!ReadInput()) {
                return false;
            }
            if (!rInput.Next(event)) {
                event = EventRecord{};
                event.what = nullEvent;
                event.where = rInput.Mouse();
            }
        }
        event.when = NowMs();
        // Mouse points as the dialog sees them: the drawing may stand elsewhere than the dialog's bounds.
        event.where = UnfitPoint(rView, rFitted, event.where);
        return iInterrupted == 0;
    }

private:
    // Waits up to a tenth of a second for input. false: the terminal is gone or the dialog was interrupted.
    bool ReadInput() {
        pollfd ready{iFd, POLLIN, 0};
        const int count = poll(&ready, 1, iNULL_EVENT_MS);
        if (iInterrupted != 0 || (count < 0 && errno != EINTR)) {
            return false;
        }
        if (count <= 0) {
            rInput.Idle();
            return true;
        }
        unsigned char chunk[256];
        const ssize_t length = read(iFd, chunk, sizeof chunk);
        if (length < 0) {
            return errno == EINTR || errno == EAGAIN;
        }
        if (length == 0) {
            return false;
        }
        rInput.Feed(chunk, static_cast<size_t>(length));
        return true;
    }

    int iFd;
    std::string strDrawn;
    CTerminalInput rInput;
    bool bShown = false;
    Rect rcScreen{};
    Point rShift{0, 0};
    SDialogView rView{};
    SDialogView rFitted{};
};

// No one can answer: the text is shown once and the dialog closes as if its first item was chosen.
class CStderrDisplay final : public IDisplay {
public:
    Rect ScreenBounds() override { return ScreenOf(-1); }

    void Show(const SDialogView& view) override {
        if (bShown) {
            return;
        }
        bShown = true;
        std::string text = view.strTitle + "\n";
        for (const SItemView& item : view.aItems) {
            if (item.eKind == eITEM_TEXT) {
                text += item.strText + "\n";
            }
        }
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
    }

    bool NextEvent(EventRecord&) override { return false; }

private:
    bool bShown = false;
};

int OpenTerminal() {
    return open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

} // namespace

Rect TerminalScreenBounds() {
    const int fd = OpenTerminal();
    const Rect screen = ScreenOf(fd);
    if (fd >= 0) {
        close(fd);
    }
    return screen;
}

std::unique_ptr<IDisplay> OpenTerminalDisplay() {
    const int fd = OpenTerminal();
    termios state{};
    // A process outside the terminal's foreground group would be stopped as soon as it touched it.
    if (fd >= 0 && tcgetattr(fd, &state) == 0 && tcgetpgrp(fd) == getpgrp()) {
        return std::make_unique<CTerminalDisplay>(fd);
    }
    if (fd >= 0) {
        close(fd);
    }
    return std::make_unique<CStderrDisplay>();
}

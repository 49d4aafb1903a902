#include "platform/linux/LaunchHelper.h"

#include "platform/linux/LaunchGoAhead.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;
using CClock = std::chrono::steady_clock;

const char* const pcLAUNCHER_NAME = QUENFIELD_LAUNCHER_NAME;
const char* const pcDEV_NULL = "/dev/null";
const int iFIRST_CLOSED = iGO_AHEAD_DESCRIPTOR + 1;
const milliseconds rPOLL_FALLBACK(1);

// The spawn's attributes and file actions, released however the spawn went. The pipe's end is put in place
// first, so that the standard streams opened after it cannot close it, whatever its number.
class CSpawnSetup {
public:
    CSpawnSetup(const sigset_t& mask, int goAhead)
        : bAttributes(posix_spawnattr_init(&rAttributes) == 0),
          bActions(posix_spawn_file_actions_init(&rActions) == 0) {
        sigset_t all;
        sigfillset(&all);
        bReady =
            bAttributes && bActions &&
            posix_spawnattr_setflags(&rAttributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0 &&
            posix_spawnattr_setsigmask(&rAttributes, &mask) == 0 &&
            posix_spawnattr_setsigdefault(&rAttributes, &all) == 0 &&
            posix_spawn_file_actions_adddup2(&rActions, goAhead, iGO_AHEAD_DESCRIPTOR) == 0 &&
            posix_spawn_file_actions_addopen(&rActions, STDIN_FILENO, pcDEV_NULL, O_RDWR, 0) == 0 &&
            posix_spawn_file_actions_adddup2(&rActions, STDIN_FILENO, STDOUT_FILENO) == 0 &&
            posix_spawn_file_actions_adddup2(&rActions, STDIN_FILENO, STDERR_FILENO) == 0 &&
            posix_spawn_file_actions_addclosefrom_np(&rActions, iFIRST_CLOSED) == 0;
    }
    ~CSpawnSetup() {
        if (bActions) {
            posix_spawn_file_actions_destroy(&rActions);
        }
        if (bAttributes) {
            posix_spawnattr_destroy(&rAttributes);
        }
    }
    CSpawnSetup(const CSpawnSetup&) = delete;
    CSpawnSetup& operator=(const CSpawnSetup&) = delete;

    bool Spawn(pid_t& pid, char* const argv[]) const {
        return bReady && posix_spawn(&pid, argv[0], &rActions, &rAttributes, argv, environ) == 0;
    }

private:
    posix_spawnattr_t rAttributes;
    posix_spawn_file_actions_t rActions;
    bool bAttributes;
    bool bActions;
    bool bReady = false;
};

// The launcher is installed beside the module's own file, wherever the tree was put; a module reached through
// a link is beside it where the link leads.
std::string LauncherPath() {
    Dl_info info{};
    char module[PATH_MAX];
    if (dladdr(reinterpret_cast<void*>(&LauncherPath), &info) == 0 || info.dli_fname == nullptr ||
        realpath(info.dli_fname, module) == nullptr) {
        return std::string();
    }
    std::string path(module);
    return path.substr(0, path.rfind('/') + 1) + pcLAUNCHER_NAME;
}

int MillisecondsLeft(CClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - CClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Through the system call: glibc 2.36's header for it declares no C linkage.
int OpenProcess(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// Whether the process ended by the deadline; it is not reaped yet.
bool AwaitExit(pid_t pid, CClock::time_point deadline) {
    const int process = OpenProcess(pid);
    if (process >= 0) {
        pollfd watch{process, POLLIN, 0};
        int ready = 0;
        do {
            ready = poll(&watch, 1, MillisecondsLeft(deadline));
        } while (ready < 0 && errno == EINTR);
        close(process);
        return ready > 0;
    }
    // A kernel without process descriptors: looked at every millisecond.
    for (;;) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid) {
            return true;
        }
        if (CClock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(rPOLL_FALLBACK);
    }
}

// Gone without a status when the host ignores SIGCHLD: the kernel reaped it, and only its ending counts.
bool Reap(pid_t pid) {
    int status = 0;
    pid_t reaped = -1;
    do {
        reaped = waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    return reaped < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A launcher that has died makes the write fail; its SIGPIPE goes to this thread, which blocks it.
bool Write(int descriptor, char byte) {
    ssize_t written = -1;
    do {
        written = write(descriptor, &byte, 1);
    } while (written < 0 && errno == EINTR);
    return written == 1;
}

} // namespace

namespace _sys {

// Both ends close on exec: the launcher gets the reading one only as the spawn puts it in place.
CLauncher::CLauncher(const char* entry, const char* file, const sigset_t& mask) {
    std::string launcher = LauncherPath();
    int ends[2] = {-1, -1};
    if (launcher.empty() || pipe2(ends, O_CLOEXEC) != 0) {
        return;
    }
    const CSpawnSetup setup(mask, ends[0]);
    char* const argv[] = {launcher.data(), const_cast<char*>(entry), const_cast<char*>(file), nullptr};
    pid_t pid = -1;
    if (setup.Spawn(pid, argv)) {
        iProcess = pid;
        iGoAhead = ends[1];
    } else {
        close(ends[1]);
    }
    close(ends[0]);
}

CLauncher::~CLauncher() {
    if (iGoAhead >= 0) {
        close(iGoAhead);
    }
    if (iProcess > 0) {
        kill(iProcess, SIGKILL);
        Reap(iProcess);
    }
}

bool CLauncher::Go(CClock::time_point deadline) {
    if (!Running()) {
        return false;
    }
    const bool told = Write(iGoAhead, cGO_AHEAD);
    close(iGoAhead);
    iGoAhead = -1;
    const bool ended = AwaitExit(iProcess, deadline);
    if (!ended) {
        kill(iProcess, SIGKILL);
    }
    const bool succeeded = Reap(iProcess);
    iProcess = -1;
    return told && ended && succeeded;
}

} // namespace _sys

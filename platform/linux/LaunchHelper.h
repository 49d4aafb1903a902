// Starts a desktop entry on a file through the plug-in's launcher program (LauncherMain.cpp), found beside
// the module's file, in a process of its own.
//
// GIO builds the command line from the entry (field codes, TryExec, Path, Terminal) and starts it. Run in
// the host, it would start it by forking, which copies the page tables of the host, so that every launch
// would cost in proportion to the memory the host holds: GIO spawns without a fork only when the child is
// left to the caller to reap and the caller's descriptors are left open to it. The launcher's process is
// started with posix_spawn, which shares the host's memory until it execs, and holds nothing but its standard
// streams: there GIO spawns the companion without a fork either, and the launcher ends without waiting for
// it, so that the companion is orphaned and nobody's child here.
//
// The launcher is started ahead of the file's completion: it loads, connects and reads the entry, then waits
// for the go-ahead on a pipe (LaunchGoAhead.h) whose other end only this process holds. Should the host end
// without giving it, the pipe's end tells the launcher to start nothing.
#ifndef QUENFIELD_PLATFORM_LINUX_LAUNCHHELPER_H
#define QUENFIELD_PLATFORM_LINUX_LAUNCHHELPER_H

#include <chrono>
#include <csignal>
#include <sys/types.h>

namespace _sys {

class CLauncher {
public:
    // Starts the launcher on the entry and the file. It gets mask as its signal mask, every signal at its
    // default action, standard input, output and error on /dev/null and no other descriptor but the pipe's
    // end, which it closes before starting anything. The calling thread should block the signals meant for
    // other threads.
    CLauncher(const char* entry, const char* file, const sigset_t& mask);
    // A launcher not given the go-ahead is ended, having started nothing; it is always reaped.
    ~CLauncher();
    CLauncher(const CLauncher&) = delete;
    CLauncher& operator=(const CLauncher&) = delete;

    bool Running() const { return iProcess > 0; }
    // True when the launcher, told to go, started the entry's program and ended with status 0 before the
    // deadline; one still running then is killed, and the companion may or may not have started.
    bool Go(std::chrono::steady_clock::time_point deadline);

private:
    pid_t iProcess = -1;
    int iGoAhead = -1; // the pipe's end that writes
};

} // namespace _sys

#endif

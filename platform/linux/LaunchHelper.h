// Starts a desktop entry on a file through the plug-in's launcher program (LauncherMain.cpp), found beside
// the module's file, in a process of its own.
//
// GIO builds the command line from the entry (field codes, TryExec, Path, Terminal) and starts it through an
// intermediate child that it reaps, so the companion is nobody's child here. GIO does so by forking, which
// copies the page tables of the process it runs in: run in the host, every launch would cost in proportion
// to the memory the host holds, and GIO starts a process without a fork only when the child is left to the
// caller to reap and the caller's descriptors are left open. The launcher's process is started with
// posix_spawn instead, which shares the host's memory until it execs, so what GIO forks is the launcher's
// own small process.
#ifndef QUENFIELD_PLATFORM_LINUX_LAUNCHHELPER_H
#define QUENFIELD_PLATFORM_LINUX_LAUNCHHELPER_H

#include <chrono>
#include <csignal>

namespace _sys {

// True when the launcher started the entry's program and ended with status 0 before the deadline; one
// still running then is killed, and the companion may or may not have started. The launcher (and so the
// companion) gets mask as its signal mask, every signal at its default action, standard input, output and
// error on /dev/null and no other descriptor. Its process is always reaped before returning; the calling
// thread should block the signals meant for other threads.
bool RunLaunchHelper(const char* entry, const char* file, const sigset_t& mask,
                     std::chrono::steady_clock::time_point deadline);

} // namespace _sys

#endif

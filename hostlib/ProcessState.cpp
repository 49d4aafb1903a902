#include "ProcessState.h"

#include "HostHandles.h"

#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace host {
namespace {

std::string Target(int fd) {
    char link[PATH_MAX] = {};
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(path.c_str(), link, sizeof link - 1);
    return length > 0 ? std::string(link, size_t(length)) : std::string("?");
}

std::string MaskText(const sigset_t& set) {
    std::string text;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&set, signal) == 1) {
            text += (text.empty() ? "" : ",") + std::to_string(signal);
        }
    }
    return text.empty() ? "none" : text;
}

std::string Disposition(int signal) {
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) != 0) {
        return "unknown";
    }
    const auto handler = reinterpret_cast<uintptr_t>(action.sa_handler);
    const std::string what = action.sa_handler == SIG_DFL   ? "default"
                             : action.sa_handler == SIG_IGN ? "ignored"
                                                            : "handler " + std::to_string(handler);
    return what + ", flags " + std::to_string(action.sa_flags) + ", mask " + MaskText(action.sa_mask);
}

template <typename T>
std::string Changed(const std::string& what, const T& before, const T& after) {
    return before == after ? std::string() : what + " " + before + " became " + after;
}

} // namespace

std::map<int, std::string> OpenDescriptors() {
    std::map<int, std::string> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return fds;
    }
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd != own && fcntl(fd, F_GETFD) != -1) {
            fds[fd] = Target(fd);
        }
    }
    closedir(dir);
    return fds;
}

std::map<int, std::string> AwaitDescriptors(const std::map<int, std::string>& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    std::map<int, std::string> now = OpenDescriptors();
    while (now != before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        now = OpenDescriptors();
    }
    return now;
}

std::string DescriptorDifference(const std::map<int, std::string>& before,
                                 const std::map<int, std::string>& after) {
    for (const auto& [fd, target] : after) {
        const auto it = before.find(fd);
        if (it == before.end()) {
            return "descriptor " + std::to_string(fd) + " (" + target + ") left open";
        }
        if (it->second != target) {
            return "descriptor " + std::to_string(fd) + " now refers to " + target + " instead of " +
                   it->second;
        }
    }
    for (const auto& [fd, target] : before) {
        if (after.count(fd) == 0) {
            return "descriptor " + std::to_string(fd) + " (" + target + ") of the host closed";
        }
    }
    return std::string();
}

ProcessState ProcessState::Now() {
    ProcessState state;
    state.descriptors = OpenDescriptors();
    state.liveHandles = host::handles::Live();
    const char* locale = std::setlocale(LC_ALL, nullptr);
    state.locale = locale != nullptr ? locale : "";
    char cwd[PATH_MAX] = {};
    state.workingDirectory = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?";
    for (int signal = 1; signal < 32; ++signal) {
        state.dispositions[size_t(signal)] = Disposition(signal);
    }
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    state.signalMask = MaskText(mask);
    return state;
}

ProcessState ProcessState::After(const ProcessState& before) {
    ProcessState state = Now();
    state.descriptors = AwaitDescriptors(before.descriptors);
    return state;
}

std::string Difference(const ProcessState& before, const ProcessState& after) {
    const std::string descriptors = DescriptorDifference(before.descriptors, after.descriptors);
    if (!descriptors.empty()) {
        return descriptors;
    }
    if (before.liveHandles != after.liveHandles) {
        return "live host handles " + std::to_string(before.liveHandles) + " became " +
               std::to_string(after.liveHandles);
    }
    for (const std::string& change :
         {Changed("the locale", before.locale, after.locale),
          Changed("the working directory", before.workingDirectory, after.workingDirectory),
          Changed("the signal mask", before.signalMask, after.signalMask)}) {
        if (!change.empty()) {
            return change;
        }
    }
    for (int signal = 1; signal < 32; ++signal) {
        const std::string change =
            Changed("the disposition of signal " + std::to_string(signal) + " (" + strsignal(signal) + ")",
                    before.dispositions[size_t(signal)], after.dispositions[size_t(signal)]);
        if (!change.empty()) {
            return change;
        }
    }
    return std::string();
}

} // namespace host

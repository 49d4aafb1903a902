#include "ChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace host {

std::string BecomeNobody(const std::string& tree) {
    const uid_t nobody = 65534;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(tree, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (lchown(it->path().c_str(), nobody, nobody) != 0) {
            return "cannot give " + it->path().string() + " to nobody";
        }
    }
    if (lchown(tree.c_str(), nobody, nobody) != 0 || setgroups(0, nullptr) != 0 || setgid(nobody) != 0 ||
        setuid(nobody) != 0) {
        return "cannot become nobody";
    }
    // A process that changed its user loses access to its own /proc entries unless it stays dumpable.
    prctl(PR_SET_DUMPABLE, 1);
    return "";
}

ForkedChild ForkReporting(const std::function<void(int channel)>& body) {
    ForkedChild child;
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        child.failed = "cannot create a pipe";
        child.error = errno;
        return child;
    }
    std::fflush(nullptr);
    child.pid = fork();
    if (child.pid == -1) {
        child.failed = "cannot fork";
        child.error = errno;
        close(channel[0]);
        close(channel[1]);
        return child;
    }
    if (child.pid == 0) {
        close(channel[0]);
        body(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    child.channel = channel[0];
    return child;
}

void WriteAll(int fd, const std::string& text) {
    for (size_t written = 0; written < text.size();) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            return;
        }
        written += size_t(n);
    }
}

std::string RunInChild(const std::function<std::string()>& body) {
    const ForkedChild child = ForkReporting([&](int channel) {
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        WriteAll(channel, report);
    });
    if (child.pid == -1) {
        return child.failed;
    }
    std::string report;
    char chunk[512];
    for (ssize_t n; (n = read(child.channel, chunk, sizeof chunk)) > 0;) {
        report.append(chunk, size_t(n));
    }
    close(child.channel);
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (WIFSIGNALED(status)) {
        report += "child killed by signal " + std::to_string(WTERMSIG(status));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report += "child exited with status " + std::to_string(WEXITSTATUS(status));
    }
    return report;
}

} // namespace host

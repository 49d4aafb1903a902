#include "ChildProcess.h"

#include <cstdio>
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

std::string RunInChild(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) {
        return "cannot create a pipe";
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == -1) {
        close(channel[0]);
        close(channel[1]);
        return "cannot fork";
    }
    if (child == 0) {
        close(channel[0]);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        for (size_t written = 0; written < report.size();) {
            const ssize_t n = write(channel[1], report.data() + written, report.size() - written);
            if (n <= 0) {
                break;
            }
            written += size_t(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::string report;
    char chunk[512];
    for (ssize_t n; (n = read(channel[0], chunk, sizeof chunk)) > 0;) {
        report.append(chunk, size_t(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        report += "child killed by signal " + std::to_string(WTERMSIG(status));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report += "child exited with status " + std::to_string(WEXITSTATUS(status));
    }
    return report;
}

} // namespace host

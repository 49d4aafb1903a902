#include "Runner.h"

#include "PluginLibrary.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace validate {
namespace fs = std::filesystem;
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kTailLines = 3;
constexpr size_t kTailLineLength = 240;

// Folders the checks work in: under the temporary folder, open to every user for passing through (a check
// may run part of its work as nobody), removed with everything in them.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quenfield-validate-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder in " +
                                     fs::temp_directory_path().string() + ": " + std::strerror(errno));
        }
        root_ = pattern;
        chmod(root_.c_str(), 0711);
    }
    ~ScratchFolder() { Remove(root_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path ForCheck(const std::string& name) const {
        const fs::path folder = root_ / name;
        fs::create_directories(folder);
        chmod(folder.c_str(), 0711);
        return folder;
    }

    // Folders a check made read-only are opened up again first, so that a user other than root can empty
    // them.
    static void Remove(const fs::path& folder) {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(folder, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
            }
        }
        fs::remove_all(folder, error);
    }

private:
    fs::path root_;
};

Verdict RunBody(const Check& check, const CheckContext& context) {
    try {
        check.body(context);
        return {Outcome::Passed, ""};
    } catch (const CheckFailed& e) {
        return {Outcome::Failed, e.what()};
    } catch (const CheckSkipped& e) {
        return {Outcome::Skipped, e.what()};
    } catch (const host::PluginLoadError& e) {
        return {Outcome::Failed, e.what()};
    } catch (const std::exception& e) {
        return {Outcome::Failed, std::string("the check stopped: ") + e.what()};
    }
}

bool IsSanitizerReport(const std::string& line) {
    return line.find("ERROR: AddressSanitizer") != std::string::npos ||
           line.find("ERROR: LeakSanitizer") != std::string::npos ||
           line.find("runtime error:") != std::string::npos || line.rfind("SUMMARY:", 0) == 0;
}

// What the check's process printed last, for a crash report: a sanitizer's error and summary lines when there
// are some, else the last lines.
std::string LogTail(const fs::path& log) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    std::vector<std::string> report;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            continue;
        }
        line = line.substr(0, kTailLineLength);
        if (IsSanitizerReport(line) && report.size() < kTailLines) {
            report.push_back(line);
        }
        lines.push_back(line);
    }
    if (report.empty()) {
        report.assign(lines.size() > kTailLines ? lines.end() - kTailLines : lines.begin(), lines.end());
    }
    std::string tail;
    for (const std::string& line : report) {
        tail += (tail.empty() ? "" : " | ") + line;
    }
    return tail.empty() ? tail : "; its output: " + tail;
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

[[noreturn]] void RunChild(const Check& check, const CheckContext& context, int report, const fs::path& log) {
    // A session of its own: no controlling terminal for a dialog to wait on, and one group to kill at the
    // limit.
    setsid();
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out >= 0 && in >= 0) {
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        close(in);
        close(out);
    }
    const Verdict verdict = RunBody(check, context);
    WriteAll(report, std::string(1, char('0' + int(verdict.outcome))) + verdict.detail);
    // No exit handlers: what the plug-in left behind is judged by the checks, not by the way out.
    _exit(0);
}

Verdict Reap(pid_t child, const std::string& report, const fs::path& log) {
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        return {Outcome::Crashed,
                "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")" + LogTail(log)};
    }
    if (report.empty()) {
        return {Outcome::Crashed, "exited with status " + std::to_string(WEXITSTATUS(status)) +
                                      " before reaching a verdict" + LogTail(log)};
    }
    return {Outcome(report[0] - '0'), report.substr(1)};
}

Verdict RunInChild(const Check& check, const CheckContext& context, double timeoutSeconds) {
    const fs::path log = context.scratch / "output.log";
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        return {Outcome::Crashed, std::string("cannot create a pipe: ") + std::strerror(errno)};
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == -1) {
        close(channel[0]);
        close(channel[1]);
        return {Outcome::Crashed, std::string("cannot fork: ") + std::strerror(errno)};
    }
    if (child == 0) {
        close(channel[0]);
        RunChild(check, context, channel[1], log);
    }
    close(channel[1]);
    const auto deadline = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
    std::string report;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd wait{channel[0], POLLIN, 0};
        if (left <= 0 || poll(&wait, 1, int(left)) == 0) {
            timedOut = true;
            break;
        }
        char chunk[512];
        const ssize_t n = read(channel[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        report.append(chunk, size_t(n));
    }
    close(channel[0]);
    if (timedOut) {
        kill(-child, SIGKILL);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", timeoutSeconds);
        return {Outcome::Crashed, std::string("timed out: killed after ") + limit + " s" + LogTail(log)};
    }
    return Reap(child, report, log);
}

} // namespace

std::vector<CheckReport> RunChecks(const std::vector<Check>& checks, const RunOptions& options,
                                   const std::function<void(const CheckReport&)>& onEach) {
    ScratchFolder scratch;
    std::vector<CheckReport> reports;
    for (const Check& check : checks) {
        const CheckContext context{options.plugin, scratch.ForCheck(check.name), !options.inProcess};
        const auto start = Clock::now();
        CheckReport report{check.name, check.description, {}, 0};
        report.verdict =
            options.inProcess ? RunBody(check, context) : RunInChild(check, context, options.timeoutSeconds);
        report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ScratchFolder::Remove(context.scratch);
        onEach(report);
        reports.push_back(std::move(report));
    }
    return reports;
}

} // namespace validate

#include "Runner.h"

#include "ChildProcess.h"
#include "Format.h"
#include "GuardedBlock.h"
#include "PluginLibrary.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
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

    fs::path Path(const std::string& name) const { return root_ / name; }

    fs::path ForCheck(const std::string& name) const {
        const fs::path folder = Path(name);
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

Verdict RunBodyAlone(const Check& check, const CheckContext& context);

fs::path SubCaseFile(const CheckContext& context) {
    return context.scratch / "sub-case";
}

// Misuses of the host's handles fail any check; warnings show on one that held.
Verdict Judge(Verdict verdict) {
    const std::vector<std::string> misuses = Misuses();
    if (!misuses.empty() &&
        (verdict.status == CheckStatus::Passed || verdict.status == CheckStatus::Failed)) {
        for (const std::string& misuse : misuses) {
            verdict.detail += (verdict.detail.empty() ? "" : "\n") + misuse;
        }
        verdict.status = CheckStatus::Failed;
    }
    const std::vector<std::string> warnings = Warnings();
    if (!warnings.empty() && verdict.status == CheckStatus::Passed) {
        verdict.status = CheckStatus::Warning;
        for (const std::string& warning : warnings) {
            verdict.detail += (verdict.detail.empty() ? "" : "\n") + warning;
        }
    }
    return verdict;
}

Verdict RunBody(const Check& check, const CheckContext& context) {
    BeginCheck(SubCaseFile(context));
    return Judge(RunBodyAlone(check, context));
}

// The sub-case a check was in when it died, as the end of a sentence.
std::string During(const CheckContext& context) {
    std::ifstream in(SubCaseFile(context));
    std::string subCase;
    std::getline(in, subCase);
    return subCase.empty() ? "" : " during the sub-case \"" + subCase + "\"";
}

// A fault in the host's guarded deliveries is named before the process dies of it.
void OnFault(int signal, siginfo_t* info, void*) {
    const char* what = host::DescribeFault(info->si_addr);
    if (*what != '\0') {
        const char prefix[] = "\nthe plug-in faulted on ";
        (void)!write(STDERR_FILENO, prefix, sizeof prefix - 1);
        (void)!write(STDERR_FILENO, what, std::strlen(what));
        (void)!write(STDERR_FILENO, "\n", 1);
    }
    raise(signal);
}

void NameFaults() {
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
}

Verdict RunBodyAlone(const Check& check, const CheckContext& context) {
    try {
        check.body(context);
        return {CheckStatus::Passed, ""};
    } catch (const CheckFailed& e) {
        return {CheckStatus::Failed, e.what()};
    } catch (const CheckSkipped& e) {
        return {CheckStatus::Skipped, e.what()};
    } catch (const host::PluginLoadError& e) {
        return {CheckStatus::Failed, e.what()};
    } catch (const std::exception& e) {
        return {CheckStatus::Failed, std::string("the check stopped: ") + e.what()};
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

void RunChild(const Check& check, const CheckContext& context, int report, const fs::path& log) {
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
    NameFaults();
    const Verdict verdict = RunBody(check, context);
    host::WriteAll(report, std::string(1, char('0' + int(verdict.status))) + verdict.detail);
}

Verdict Reap(pid_t child, const std::string& report, const CheckContext& context) {
    const fs::path log = context.scratch / "output.log";
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        return {CheckStatus::Crashed, "killed by signal " + std::to_string(signal) + " (" +
                                          strsignal(signal) + ")" + During(context) + LogTail(log)};
    }
    if (report.empty()) {
        return {CheckStatus::Crashed, "exited with status " + std::to_string(WEXITSTATUS(status)) +
                                          " before reaching a verdict" + During(context) + LogTail(log)};
    }
    return {CheckStatus(report[0] - '0'), report.substr(1)};
}

// One check running in a child process: its end of the report pipe, its limit, what it reported so far.
struct Running {
    size_t index = 0;
    CheckContext context;
    pid_t child = -1;
    int channel = -1;
    Clock::time_point started;
    Clock::time_point deadline;
    double limit = 0;
    std::string report;
};

std::optional<Verdict> Launch(const Check& check, Running& run, double timeoutSeconds) {
    if (check.timeoutSeconds > 0 && check.timeoutSeconds < timeoutSeconds) {
        timeoutSeconds = check.timeoutSeconds;
    }
    run.limit = timeoutSeconds;
    const host::ForkedChild child = host::ForkReporting(
        [&](int channel) { RunChild(check, run.context, channel, run.context.scratch / "output.log"); });
    if (child.pid == -1) {
        return Verdict{CheckStatus::Crashed, std::string(child.failed) + ": " + std::strerror(child.error)};
    }
    run.child = child.pid;
    run.channel = child.channel;
    run.deadline = Clock::now() +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    return std::nullopt;
}

Verdict Kill(const Running& run) {
    kill(-run.child, SIGKILL);
    kill(run.child, SIGKILL);
    waitpid(run.child, nullptr, 0);
    return {CheckStatus::TimedOut, "killed after " + Format("%g", run.limit) + " s" + During(run.context) +
                                       LogTail(run.context.scratch / "output.log")};
}

// Reads what the child has written; true once its end of the pipe is closed.
bool Drain(Running& run) {
    char chunk[512];
    for (;;) {
        const ssize_t n = read(run.channel, chunk, sizeof chunk);
        if (n > 0) {
            run.report.append(chunk, size_t(n));
            continue;
        }
        return n == 0 || errno != EINTR;
    }
}

// Keeps up to jobs children running and hands every verdict to finish as it comes, in any order.
class Pool {
public:
    Pool(const std::vector<Check>& checks, const RunOptions& options) : checks_(checks), options_(options) {}

    template <typename Prepare, typename Finish>
    void Run(Prepare prepare, Finish finish) {
        size_t next = 0;
        while (next < checks_.size() || !running_.empty()) {
            while (next < checks_.size() && running_.size() < std::max(1u, options_.jobs)) {
                Running run;
                run.index = next;
                run.context = prepare(next);
                run.started = Clock::now();
                if (const std::optional<Verdict> failed =
                        Launch(checks_[next], run, options_.timeoutSeconds)) {
                    finish(run, *failed);
                } else {
                    running_.push_back(std::move(run));
                }
                ++next;
            }
            Wait(finish);
        }
    }

private:
    template <typename Finish>
    void Wait(Finish finish) {
        if (running_.empty()) {
            return;
        }
        std::vector<pollfd> waits;
        auto soonest = running_.front().deadline;
        for (const Running& run : running_) {
            waits.push_back({run.channel, POLLIN, 0});
            soonest = std::min(soonest, run.deadline);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count();
        poll(waits.data(), waits.size(), int(std::max<long long>(left, 0) + 1));
        for (size_t i = running_.size(); i-- > 0;) {
            Running& run = running_[i];
            std::optional<Verdict> verdict;
            if ((waits[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && Drain(run)) {
                verdict = Reap(run.child, run.report, run.context);
            } else if (Clock::now() >= run.deadline) {
                verdict = Kill(run);
            }
            if (verdict) {
                close(run.channel);
                finish(run, *verdict);
                running_.erase(running_.begin() + long(i));
            }
        }
    }

    const std::vector<Check>& checks_;
    const RunOptions& options_;
    std::vector<Running> running_;
};

} // namespace

std::vector<CheckReport> RunChecks(const std::vector<Check>& checks, const RunOptions& options,
                                   const std::function<void(const CheckReport&)>& onEach) {
    ScratchFolder scratch;
    std::vector<std::optional<CheckReport>> done(checks.size());
    size_t reported = 0;
    auto record = [&](size_t index, const Verdict& verdict, Clock::time_point started) {
        const Check& check = checks[index];
        done[index] = CheckReport{check.name, check.description, verdict,
                                  std::chrono::duration<double>(Clock::now() - started).count(), check.level};
        ScratchFolder::Remove(scratch.Path(check.name));
        for (; reported < done.size() && done[reported]; ++reported) {
            onEach(*done[reported]);
        }
    };
    auto context = [&](size_t index) {
        return CheckContext{options.plugin, scratch.ForCheck(checks[index].name), !options.inProcess};
    };
    if (options.inProcess) {
        for (size_t i = 0; i < checks.size(); ++i) {
            const auto started = Clock::now();
            record(i, RunBody(checks[i], context(i)), started);
        }
    } else {
        Pool(checks, options).Run(context, [&](const Running& run, const Verdict& verdict) {
            record(run.index, verdict, run.started);
        });
    }
    std::vector<CheckReport> reports;
    for (std::optional<CheckReport>& report : done) {
        reports.push_back(std::move(*report));
    }
    return reports;
}

} // namespace validate

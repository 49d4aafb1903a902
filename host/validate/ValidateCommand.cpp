#include "ValidateCommand.h"

#include "Documents.h"
#include "Format.h"
#include "Fuzz.h"
#include "Json.h"
#include "Junit.h"
#include "Runner.h"

#include <algorithm>
#include <fnmatch.h>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

namespace validate {
namespace {

// Whether the name matches one of the glob patterns.
bool Matches(const std::string& name, const std::vector<std::string>& patterns) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return fnmatch(p.c_str(), name.c_str(), 0) == 0; });
}

// The checks the patterns match, in the order of the full list, or else those of the level, less the ones
// skipped; a pattern that matches no check is reported and makes the selection fail.
bool Select(std::vector<Check>& checks, const ValidateOptions& options) {
    bool known = true;
    for (const auto* patterns : {&options.checks, &options.skip}) {
        for (const std::string& pattern : *patterns) {
            if (std::none_of(checks.begin(), checks.end(),
                             [&](const Check& c) { return Matches(c.name, {pattern}); })) {
                std::cerr << "quenfield-export validate: no check matches " << pattern
                          << "; see validate --list\n";
                known = false;
            }
        }
    }
    checks.erase(std::remove_if(checks.begin(), checks.end(),
                                [&](const Check& c) {
                                    const bool chosen = options.checks.empty()
                                                            ? c.level <= options.level
                                                            : Matches(c.name, options.checks);
                                    return !chosen || Matches(c.name, options.skip);
                                }),
                 checks.end());
    return known;
}

// Every check repeat times (the copies named name#2, name#3, ...), shuffled by the seed when asked.
std::vector<Check> Arrange(const std::vector<Check>& checks, const ValidateOptions& options, uint64_t seed) {
    std::vector<Check> arranged;
    for (unsigned round = 0; round < std::max(1u, options.repeat); ++round) {
        for (Check check : checks) {
            if (round > 0) {
                check.name += "#" + std::to_string(round + 1);
            }
            arranged.push_back(std::move(check));
        }
    }
    if (options.shuffle) {
        std::mt19937_64 random(seed);
        std::shuffle(arranged.begin(), arranged.end(), random);
    }
    return arranged;
}

} // namespace

bool IsFailure(CheckStatus status) {
    return status == CheckStatus::Failed || status == CheckStatus::Crashed || status == CheckStatus::TimedOut;
}

std::string Summary(const std::vector<CheckReport>& reports) {
    int counts[kCheckStatuses] = {};
    for (const CheckReport& r : reports) {
        ++counts[int(r.verdict.status)];
    }
    std::string text;
    for (CheckStatus status : {CheckStatus::Passed, CheckStatus::Failed, CheckStatus::Skipped,
                               CheckStatus::Crashed, CheckStatus::TimedOut, CheckStatus::Warning}) {
        text += (text.empty() ? "" : ", ") + std::to_string(counts[int(status)]) + " " +
                (status == CheckStatus::Warning ? std::string("with warnings") : CheckStatusName(status));
    }
    return text;
}

bool WriteReport(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    if (!out.flush()) {
        std::cerr << "quenfield-export validate: cannot write " << path << '\n';
        return false;
    }
    return true;
}

namespace {

void PrintReport(const CheckReport& r) {
    std::cout << CheckStatusName(r.verdict.status) << "  " << r.name << " [" << LevelName(r.level) << "] ("
              << Format("%.2f s", r.seconds) << ")";
    if (!r.verdict.detail.empty()) {
        std::cout << ": " << r.verdict.detail;
    }
    std::cout << std::endl;
}

} // namespace

unsigned Jobs(unsigned requested) {
    return requested != 0 ? requested : std::max(1u, std::thread::hardware_concurrency());
}

uint64_t Seed(const std::optional<uint64_t>& requested) {
    if (requested) {
        return *requested;
    }
    std::random_device device;
    return (uint64_t(device()) << 32 | device()) % 1000000000;
}

int RunValidate(const ValidateOptions& options) {
    if (options.reproduce || options.fuzzSeconds > 0) {
        return RunFuzz(options);
    }
    std::vector<Check> checks = AllChecks();
    if (!Select(checks, options)) {
        return 2;
    }
    if (options.list) {
        for (const Check& check : checks) {
            std::cout << check.name << " [" << LevelName(check.level) << "]\n    " << check.description
                      << "\n";
        }
        return 0;
    }
    const uint64_t seed = Seed(options.seed);
    SetSampleSeed(seed);
    checks = Arrange(checks, options, seed);
    const unsigned jobs = options.inProcess ? 1 : Jobs(options.jobs);
    std::cout << "Validating " << options.plugin.string() << " at level " << LevelName(options.level)
              << " with seed " << seed << " (" << checks.size() << " checks, " << jobs << " at a time"
              << (options.shuffle ? ", shuffled by the seed" : "") << ")" << std::endl;
    // Absolute, for checks that change the working directory.
    const RunOptions run{std::filesystem::absolute(options.plugin), options.inProcess, options.timeoutSeconds,
                         jobs};
    const std::vector<CheckReport> reports = RunChecks(checks, run, PrintReport);
    std::cout << Summary(reports) << std::endl;
    const RunInfo info{options.plugin.string(), options.version, options.level, seed};
    const bool written = (options.json.empty() || WriteReport(options.json, ResultsJson(info, reports))) &&
                         (options.junit.empty() || WriteReport(options.junit, ResultsJunit(info, reports)));
    const bool clean = std::none_of(reports.begin(), reports.end(),
                                    [](const CheckReport& r) { return IsFailure(r.verdict.status); });
    std::cout << (clean ? "PASSED" : "FAILED") << std::endl;
    return !written ? 2 : clean ? 0 : 1;
}

} // namespace validate

#include "ValidateCommand.h"

#include "Documents.h"
#include "Format.h"
#include "Fuzz.h"
#include "Json.h"
#include "Junit.h"
#include "Runner.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

namespace validate {
namespace {

std::string Summary(const std::vector<CheckReport>& reports) {
    int counts[4] = {};
    for (const CheckReport& r : reports) {
        ++counts[int(r.verdict.outcome)];
    }
    return std::to_string(counts[int(Outcome::Passed)]) + " passed, " +
           std::to_string(counts[int(Outcome::Failed)]) + " failed, " +
           std::to_string(counts[int(Outcome::Skipped)]) + " skipped, " +
           std::to_string(counts[int(Outcome::Crashed)]) + " crashed";
}

// The checks named, in the order of the full list, or else those of the level; unknown names are reported
// and make the selection fail.
bool Select(std::vector<Check>& checks, const std::vector<std::string>& names, Level level) {
    bool known = true;
    for (const std::string& name : names) {
        if (std::none_of(checks.begin(), checks.end(), [&](const Check& c) { return c.name == name; })) {
            std::cerr << "quenfield-export validate: no check is named " << name << "; see validate --list\n";
            known = false;
        }
    }
    checks.erase(std::remove_if(checks.begin(), checks.end(),
                                [&](const Check& c) {
                                    return names.empty()
                                               ? c.level > level
                                               : std::find(names.begin(), names.end(), c.name) == names.end();
                                }),
                 checks.end());
    return known;
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

void PrintReport(const CheckReport& r) {
    std::cout << OutcomeName(r.verdict.outcome) << "  " << r.name << " [" << LevelName(r.level) << "] ("
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
    if (!Select(checks, options.checks, options.level)) {
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
    const unsigned jobs = options.inProcess ? 1 : Jobs(options.jobs);
    std::cout << "Validating " << options.plugin.string() << " at level " << LevelName(options.level)
              << " with seed " << seed << " (" << checks.size() << " checks, " << jobs << " at a time)"
              << std::endl;
    // Absolute, for checks that change the working directory.
    const RunOptions run{std::filesystem::absolute(options.plugin), options.inProcess, options.timeoutSeconds,
                         jobs};
    const std::vector<CheckReport> reports = RunChecks(checks, run, PrintReport);
    std::cout << Summary(reports) << std::endl;
    const RunInfo info{options.plugin.string(), options.version, options.level, seed};
    const bool written = (options.json.empty() || WriteReport(options.json, ResultsJson(info, reports))) &&
                         (options.junit.empty() || WriteReport(options.junit, ResultsJunit(info, reports)));
    const bool clean = std::none_of(reports.begin(), reports.end(), [](const CheckReport& r) {
        return r.verdict.outcome == Outcome::Failed || r.verdict.outcome == Outcome::Crashed;
    });
    std::cout << (clean ? "PASSED" : "FAILED") << std::endl;
    return !written ? 2 : clean ? 0 : 1;
}

} // namespace validate

#include "ValidateCommand.h"

#include "Json.h"
#include "Runner.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace validate {
namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

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

// The checks named, in the order of the full list; unknown names are reported and make the result empty.
bool Select(std::vector<Check>& checks, const std::vector<std::string>& names) {
    bool known = true;
    for (const std::string& name : names) {
        if (std::none_of(checks.begin(), checks.end(), [&](const Check& c) { return c.name == name; })) {
            std::cerr << "quenfield-export validate: no check is named " << name << "; see validate --list\n";
            known = false;
        }
    }
    if (!names.empty()) {
        checks.erase(std::remove_if(checks.begin(), checks.end(),
                                    [&](const Check& c) {
                                        return std::find(names.begin(), names.end(), c.name) == names.end();
                                    }),
                     checks.end());
    }
    return known;
}

} // namespace

int RunValidate(const ValidateOptions& options) {
    std::vector<Check> checks = AllChecks();
    if (!Select(checks, options.checks)) {
        return 2;
    }
    if (options.list) {
        for (const Check& check : checks) {
            std::cout << check.name << "\n    " << check.description << "\n";
        }
        return 0;
    }
    std::cout << "Validating " << options.plugin.string() << " (" << checks.size() << " checks)" << std::endl;
    // Absolute, for checks that change the working directory.
    const RunOptions run{std::filesystem::absolute(options.plugin), options.inProcess,
                         options.timeoutSeconds};
    const std::vector<CheckReport> reports = RunChecks(checks, run, [](const CheckReport& r) {
        std::cout << OutcomeName(r.verdict.outcome) << "  " << r.name << " (" << Seconds(r.seconds) << ")";
        if (!r.verdict.detail.empty()) {
            std::cout << ": " << r.verdict.detail;
        }
        std::cout << std::endl;
    });
    std::cout << Summary(reports) << std::endl;
    if (!options.json.empty()) {
        std::ofstream out(options.json);
        out << ResultsJson(options.plugin.string(), reports);
        if (!out.flush()) {
            std::cerr << "quenfield-export validate: cannot write " << options.json << '\n';
            return 2;
        }
    }
    const bool clean = std::none_of(reports.begin(), reports.end(), [](const CheckReport& r) {
        return r.verdict.outcome == Outcome::Failed || r.verdict.outcome == Outcome::Crashed;
    });
    return clean ? 0 : 1;
}

} // namespace validate

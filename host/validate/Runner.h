// Runs checks, each in a child process of its own with a time limit (or all in this process for a
// debugger), and reports how each ended.
#ifndef QUENFIELD_VALIDATE_RUNNER_H
#define QUENFIELD_VALIDATE_RUNNER_H

#include "Check.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace validate {

struct RunOptions {
    std::filesystem::path plugin;
    bool inProcess = false;
    double timeoutSeconds = 60;
};

struct CheckReport {
    std::string name;
    std::string description;
    Verdict verdict;
    double seconds = 0;
};

// Runs the checks in order; onEach sees every report as soon as its check has ended.
std::vector<CheckReport> RunChecks(const std::vector<Check>& checks, const RunOptions& options,
                                   const std::function<void(const CheckReport&)>& onEach);

} // namespace validate

#endif

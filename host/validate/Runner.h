// Runs checks, each in a child process of its own with a time limit (or all in this process for a
// debugger), and reports how each ended.
#ifndef QUENFIELD_VALIDATE_RUNNER_H
#define QUENFIELD_VALIDATE_RUNNER_H

#include "Check.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace validate {

struct RunOptions {
    std::filesystem::path plugin;
    bool inProcess = false;
    double timeoutSeconds = 60;
    unsigned jobs = 1; // checks at once, each in its own process; 1 under inProcess
};

// What a report says about the run as a whole.
struct RunInfo {
    std::string plugin;
    std::string version; // the validator's
    Level level = Level::Recommended;
    uint64_t seed = 0;
};

struct CheckReport {
    std::string name;
    std::string description;
    Verdict verdict;
    double seconds = 0;
    Level level = Level::Contract;
};

// Runs the checks, up to options.jobs at once; onEach sees the reports in the checks' order, each as soon as
// it and every check before it have ended.
std::vector<CheckReport> RunChecks(const std::vector<Check>& checks, const RunOptions& options,
                                   const std::function<void(const CheckReport&)>& onEach);

} // namespace validate

#endif

#include "Fuzz.h"

#include "FuzzCase.h"
#include "Json.h"
#include "Junit.h"
#include "Runner.h"

#include <chrono>
#include <iostream>

namespace validate {
namespace {

using Clock = std::chrono::steady_clock;

Check CaseCheck(uint64_t seed) {
    return Check{"fuzz-" + std::to_string(seed), DescribeFuzzCase(MakeFuzzCase(seed)),
                 [seed](const CheckContext& context) { PlayFuzzCase(context, MakeFuzzCase(seed)); },
                 Level::Contract};
}

// A path for a shell command line, quoted unless it needs none.
std::string Quoted(const std::string& text) {
    if (text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+") ==
        std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

void PrintFailure(const CheckReport& report, uint64_t seed, const ValidateOptions& options) {
    std::cout << CheckStatusName(report.verdict.status) << "  case seed " << seed << ": "
              << report.verdict.detail << "\n    case: " << DescribeFuzzCase(MakeFuzzCase(seed))
              << "\n    reproduce: quenfield-export validate --plugin " << Quoted(options.plugin.string())
              << " --reproduce " << seed << std::endl;
}

bool Failed(const CheckReport& report) {
    return IsFailure(report.verdict.status);
}

// The cases played, as the checks' reports are written; 0 when no file was asked for or every one was
// written.
int WriteReports(const ValidateOptions& options, uint64_t seed, const std::vector<CheckReport>& reports) {
    const RunInfo info{options.plugin.string(), options.version, Level::Contract, seed};
    const bool written = (options.json.empty() || WriteReport(options.json, ResultsJson(info, reports))) &&
                         (options.junit.empty() || WriteReport(options.junit, ResultsJunit(info, reports)));
    return written ? 0 : 2;
}

} // namespace

int RunFuzz(const ValidateOptions& options) {
    const RunOptions run{std::filesystem::absolute(options.plugin), options.inProcess, options.timeoutSeconds,
                         options.inProcess ? 1u : Jobs(options.jobs)};
    if (options.reproduce) {
        const uint64_t seed = *options.reproduce;
        std::cout << "Playing fuzz case " << seed << " against " << options.plugin.string() << ": "
                  << DescribeFuzzCase(MakeFuzzCase(seed)) << std::endl;
        const std::vector<CheckReport> reports = RunChecks({CaseCheck(seed)}, run, [&](const CheckReport& r) {
            if (Failed(r)) {
                PrintFailure(r, seed, options);
            }
        });
        const int written = WriteReports(options, seed, reports);
        std::cout << (Failed(reports.front()) ? "FAILED" : "PASSED") << std::endl;
        return written != 0 ? written : Failed(reports.front()) ? 1 : 0;
    }
    const uint64_t runSeed = Seed(options.seed);
    std::cout << "Fuzzing " << options.plugin.string() << " for " << options.fuzzSeconds << " s with seed "
              << runSeed << " (" << run.jobs << " at a time)" << std::endl;
    const auto until = Clock::now() + std::chrono::duration<double>(options.fuzzSeconds);
    uint64_t played = 0;
    uint64_t failed = 0;
    std::vector<CheckReport> all;
    while (Clock::now() < until) {
        std::vector<Check> batch;
        std::vector<uint64_t> seeds;
        for (unsigned i = 0; i < run.jobs * 2; ++i) {
            seeds.push_back(CaseSeed(runSeed, played + i));
            batch.push_back(CaseCheck(seeds.back()));
        }
        size_t index = 0;
        const std::vector<CheckReport> reports = RunChecks(batch, run, [&](const CheckReport& r) {
            if (Failed(r)) {
                ++failed;
                PrintFailure(r, seeds[index], options);
            }
            ++index;
        });
        played += batch.size();
        all.insert(all.end(), reports.begin(), reports.end());
    }
    const int written = WriteReports(options, runSeed, all);
    std::cout << played << " cases, " << failed << " failed" << std::endl;
    std::cout << (failed == 0 ? "PASSED" : "FAILED") << std::endl;
    return written != 0 ? written : failed == 0 ? 0 : 1;
}

} // namespace validate

#include "Fuzz.h"

#include "FuzzCase.h"
#include "Runner.h"

#include <chrono>
#include <iostream>

namespace validate {
namespace {

using Clock = std::chrono::steady_clock;

// A time limit far above what one case takes, for plug-ins that hang.
constexpr double kCaseTimeoutSeconds = 20;

Check CaseCheck(uint64_t seed) {
    return Check{"fuzz-" + std::to_string(seed), "",
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
    std::cout << OutcomeName(report.verdict.outcome) << "  case seed " << seed << ": "
              << report.verdict.detail << "\n    case: " << DescribeFuzzCase(MakeFuzzCase(seed))
              << "\n    reproduce: quenfield-export validate --plugin " << Quoted(options.plugin.string())
              << " --reproduce " << seed << std::endl;
}

bool Failed(const CheckReport& report) {
    return report.verdict.outcome == Outcome::Failed || report.verdict.outcome == Outcome::Crashed;
}

} // namespace

int RunFuzz(const ValidateOptions& options) {
    const RunOptions run{std::filesystem::absolute(options.plugin), options.inProcess, kCaseTimeoutSeconds,
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
        std::cout << (Failed(reports.front()) ? "FAILED" : "PASSED") << std::endl;
        return Failed(reports.front()) ? 1 : 0;
    }
    const uint64_t runSeed = Seed(options.seed);
    std::cout << "Fuzzing " << options.plugin.string() << " for " << options.fuzzSeconds << " s with seed "
              << runSeed << " (" << run.jobs << " at a time)" << std::endl;
    const auto until = Clock::now() + std::chrono::duration<double>(options.fuzzSeconds);
    uint64_t played = 0;
    uint64_t failed = 0;
    while (Clock::now() < until) {
        std::vector<Check> batch;
        std::vector<uint64_t> seeds;
        for (unsigned i = 0; i < run.jobs * 2; ++i) {
            seeds.push_back(CaseSeed(runSeed, played + i));
            batch.push_back(CaseCheck(seeds.back()));
        }
        size_t index = 0;
        RunChecks(batch, run, [&](const CheckReport& r) {
            if (Failed(r)) {
                ++failed;
                PrintFailure(r, seeds[index], options);
            }
            ++index;
        });
        played += batch.size();
    }
    std::cout << played << " cases, " << failed << " failed" << std::endl;
    std::cout << (failed == 0 ? "PASSED" : "FAILED") << std::endl;
    return failed == 0 ? 0 : 1;
}

} // namespace validate

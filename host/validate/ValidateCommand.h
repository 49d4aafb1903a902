// quenfield-export validate: a conformance run of a plug-in against the host protocol, or a fuzz run of it.
#ifndef QUENFIELD_VALIDATE_VALIDATECOMMAND_H
#define QUENFIELD_VALIDATE_VALIDATECOMMAND_H

#include "Check.h"
#include "Runner.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace validate {

struct ValidateOptions {
    std::filesystem::path plugin;
    std::string version;    // the validator's, for the reports
    bool list = false;      // name and describe the checks instead of running them
    bool inProcess = false; // every check in this process, for a debugger
    std::string json;       // write the results there as well, when not empty
    std::string junit;      // likewise as JUnit XML
    double timeoutSeconds = 60;
    std::vector<std::string> checks; // glob patterns: only the checks they match; all of the level when empty
    std::vector<std::string> skip;   // glob patterns of checks left out
    unsigned repeat = 1;             // every selected check this many times
    bool shuffle = false;            // in an order drawn from the seed
    Level level = Level::Recommended;
    unsigned jobs = 0;                 // checks at once; 0 for one per processor
    std::optional<uint64_t> seed;      // of the documents' samples or of the fuzz run; random when unset
    double fuzzSeconds = 0;            // a fuzz run of this length instead of the checks, when positive
    std::optional<uint64_t> reproduce; // one fuzz case again, by its seed
};

// The jobs to run at once: the request, or one per processor for 0.
unsigned Jobs(unsigned requested);
// The request, or a fresh random seed below 10^9 (short enough to type again).
uint64_t Seed(const std::optional<uint64_t>& requested);

// Whether a check failed, crashed or timed out.
bool IsFailure(CheckStatus status);
// "N passed, N failed, N skipped, N crashed, N timed out, N warnings".
std::string Summary(const std::vector<CheckReport>& reports);
bool WriteReport(const std::string& path, const std::string& text);

// Prints one line per check and the summary, then PASSED or FAILED as the last line. Returns 0 when no check
// failed, crashed or timed out, 1 otherwise, 2 for a pattern that matches no check or an unwritable report
// file.
int RunValidate(const ValidateOptions& options);

} // namespace validate

#endif

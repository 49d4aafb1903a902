// quenfield-export validate: a conformance run of a plug-in against the host protocol.
#ifndef QUENFIELD_VALIDATE_VALIDATECOMMAND_H
#define QUENFIELD_VALIDATE_VALIDATECOMMAND_H

#include <filesystem>
#include <string>
#include <vector>

namespace validate {

struct ValidateOptions {
    std::filesystem::path plugin;
    bool list = false;      // name and describe the checks instead of running them
    bool inProcess = false; // every check in this process, for a debugger
    std::string json;       // write the results there as well, when not empty
    double timeoutSeconds = 60;
    std::vector<std::string> checks; // only these, in the usual order; all when empty
};

// Prints one line per check and the summary "N passed, N failed, N skipped, N crashed". Returns 0 when no
// check failed or crashed, 1 otherwise, 2 for an unknown check name or an unwritable JSON file.
int RunValidate(const ValidateOptions& options);

} // namespace validate

#endif

#include "Check.h"

#include "HostHandles.h"

#include <algorithm>
#include <fstream>

namespace validate {
namespace {

struct CheckState {
    std::filesystem::path subCaseFile;
    std::string subCase;
    std::vector<std::string> warnings;
    std::vector<std::string> misuses;
};

CheckState& State() {
    static CheckState state;
    return state;
}

void RecordMisuse(const char* what) {
    const std::string text = std::string("the plug-in misused a host handle: ") + what +
                             " (a second unlock, or one without a lock)";
    std::vector<std::string>& misuses = State().misuses;
    if (std::find(misuses.begin(), misuses.end(), text) == misuses.end()) {
        misuses.push_back(text);
    }
}

} // namespace

const char* CheckStatusName(CheckStatus status) {
    switch (status) {
    case CheckStatus::Passed:
        return "passed";
    case CheckStatus::Failed:
        return "failed";
    case CheckStatus::Skipped:
        return "skipped";
    case CheckStatus::Crashed:
        return "crashed";
    case CheckStatus::TimedOut:
        return "timed out";
    case CheckStatus::Warning:
        return "warning";
    }
    return "unknown";
}

const char* LevelName(Level level) {
    switch (level) {
    case Level::Contract:
        return "contract";
    case Level::Recommended:
        return "recommended";
    case Level::Reference:
        return "reference";
    }
    return "unknown";
}

std::optional<Level> ParseLevel(const std::string& name) {
    for (Level level : {Level::Contract, Level::Recommended, Level::Reference}) {
        if (name == LevelName(level)) {
            return level;
        }
    }
    return std::nullopt;
}

void Fail(const std::string& what, const std::string& expected, const std::string& seen) {
    throw CheckFailed(what + ": expected " + expected + ", saw " + seen);
}

void Skip(const std::string& why) {
    throw CheckSkipped(why);
}

void Expect(bool ok, const std::string& what, const std::string& expected, const std::string& seen) {
    if (!ok) {
        Fail(what, expected, seen);
    }
}

void ExpectEqual(long long seen, long long expected, const std::string& what) {
    Expect(seen == expected, what, std::to_string(expected), std::to_string(seen));
}

void Warn(const std::string& what) {
    State().warnings.push_back(what);
}

void Note(const std::string& subCase) {
    State().subCase = subCase;
    if (!State().subCaseFile.empty()) {
        std::ofstream(State().subCaseFile, std::ios::trunc) << subCase;
    }
}

void NoteStep(const std::string& step) {
    const std::string subCase = State().subCase;
    if (!State().subCaseFile.empty()) {
        std::ofstream(State().subCaseFile, std::ios::trunc)
            << (subCase.empty() ? step : subCase + ", " + step);
    }
}

void SubCases::Finish() const {
    if (failures_.empty()) {
        return;
    }
    std::string all;
    for (const std::string& failure : failures_) {
        all += (all.empty() ? "" : "\n") + failure;
    }
    throw CheckFailed(
        failures_.size() == 1 ? all : std::to_string(failures_.size()) + " sub-cases failed:\n" + all);
}

void BeginCheck(const std::filesystem::path& subCaseFile) {
    State() = CheckState{subCaseFile, {}, {}, {}};
    host::handles::OnMisuse(RecordMisuse);
}

std::vector<std::string> Warnings() {
    return State().warnings;
}

std::vector<std::string> Misuses() {
    return State().misuses;
}

std::vector<Check> AllChecks() {
    std::vector<Check> all;
    for (auto group : {EntryChecks, SessionChecks, DocumentChecks, LayoutChecks, TransferChecks,
                       EnvironmentChecks, HostChecks, LifetimeChecks}) {
        for (Check& check : group()) {
            all.push_back(std::move(check));
        }
    }
    return all;
}

} // namespace validate

#include "Check.h"

namespace validate {

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Passed:
        return "passed";
    case Outcome::Failed:
        return "failed";
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Crashed:
        return "crashed";
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

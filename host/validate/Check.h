// One named check of a plug-in and the verdicts it can reach. A check body runs to its end when everything
// held; it leaves early through Fail or Skip.
#ifndef QUENFIELD_VALIDATE_CHECK_H
#define QUENFIELD_VALIDATE_CHECK_H

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace validate {

// Warning: the check held, but saw something an author may want to look at (a departure from this project's
// own plug-in's choices, an oddity of the host).
enum class CheckStatus { Passed, Failed, Skipped, Crashed, TimedOut, Warning };
constexpr int kCheckStatuses = 6;

const char* CheckStatusName(CheckStatus status);

// How far a check reaches, each level including the ones before it: what the interface promises or requires,
// good practice any plug-in should follow, and the choices of this project's own plug-in.
enum class Level { Contract, Recommended, Reference };

const char* LevelName(Level level);
std::optional<Level> ParseLevel(const std::string& name);

struct Verdict {
    CheckStatus status = CheckStatus::Passed;
    std::string detail; // what was expected and what was seen, why it was skipped, or how it died
};

// What every check is given.
struct CheckContext {
    std::filesystem::path plugin;
    std::filesystem::path scratch; // a folder of the check's own, removed after it
    bool ownProcess = true;        // false under --in-process: nothing may be changed for good
};

struct Check {
    std::string name;        // kebab-case
    std::string description; // one sentence
    std::function<void(const CheckContext&)> body;
    Level level;
    double timeoutSeconds = 0; // a limit of the check's own, below the run's; 0 for the run's
};

class CheckFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CheckSkipped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what, const std::string& expected, const std::string& seen);
[[noreturn]] void Skip(const std::string& why);
// Fails with the three texts unless ok.
void Expect(bool ok, const std::string& what, const std::string& expected, const std::string& seen);
// Fails unless seen equals expected; numbers are shown in decimal.
void ExpectEqual(long long seen, long long expected, const std::string& what);
// Passes the check with a warning, unless it fails.
void Warn(const std::string& what);
// Names the sub-case now running, so that a crash or a timeout can say which one it was.
void Note(const std::string& subCase);
// Adds the step under way to the sub-case's name, until the next step or sub-case.
void NoteStep(const std::string& step);

// Runs every sub-case of a check to its end and fails once with all the failures seen.
class SubCases {
public:
    template <typename Body>
    void Run(const std::string& name, Body body) {
        Note(name);
        try {
            body();
        } catch (const CheckFailed& e) {
            failures_.push_back(e.what());
        }
    }
    // Fails with every failure, one per line, when there were some.
    void Finish() const;

private:
    std::vector<std::string> failures_;
};

// What a check process records besides its verdict: the file the current sub-case is named in, the warnings,
// and misuses of the host's handles. Reset before each check.
void BeginCheck(const std::filesystem::path& subCaseFile);
std::vector<std::string> Warnings();
std::vector<std::string> Misuses();

// The checks of each group, in the order they run.
std::vector<Check> EntryChecks();
std::vector<Check> SessionChecks();
std::vector<Check> DocumentChecks();
std::vector<Check> TransferChecks();
std::vector<Check> EnvironmentChecks();
std::vector<Check> LifetimeChecks();

std::vector<Check> LayoutChecks();
std::vector<Check> HostChecks();

// Every check, in the order they run.
std::vector<Check> AllChecks();

} // namespace validate

#endif

// A stand-in companion application: a desktop entry under the application identifier, in a data folder of
// its own, whose program records the arguments it was started with.
#ifndef QUENFIELD_TESTS_FAKECOMPANION_H
#define QUENFIELD_TESTS_FAKECOMPANION_H

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testfiles {

class FakeCompanion {
public:
    // Lays out dataFolder/applications/<id>.desktop and the recording program beside it. The entry's extra
    // lines (for example "Hidden=true") go into its [Desktop Entry] group; program replaces the recording
    // program in the Exec line.
    explicit FakeCompanion(const std::string& dataFolder, const std::string& extraLines = "",
                           const std::string& program = "");

    // The arguments of the first start, once the program has recorded them; nullopt when it has not started
    // within a generous bound (a missing start, not a slow one, is what that tells).
    std::optional<std::vector<std::string>> WaitForArguments() const;
    // Whether a start has been recorded by now.
    bool Started() const;
    // The program's blocked-signal mask as it started, as the kernel shows it (hexadecimal); valid once the
    // arguments are there.
    std::string SignalMask() const;
    // The descriptors it started with, by number, ":null" added for those open on /dev/null ("0:null", "3").
    std::vector<std::string> Descriptors() const;

private:
    std::string record;
    std::string mask;
    std::string descriptors;
};

// The processes whose parent is this one, zombies included: a launcher left behind shows here.
std::vector<pid_t> ChildProcesses();

} // namespace testfiles

#endif

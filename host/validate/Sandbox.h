// The surroundings of one check: a private temporary folder (TMPDIR) and a private XDG data folder holding
// the companion's desktop entry, so that no check touches the user's own folders. The variables are put back
// when the sandbox ends, for checks that share one process (--in-process).
#ifndef QUENFIELD_VALIDATE_SANDBOX_H
#define QUENFIELD_VALIDATE_SANDBOX_H

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace validate {

enum class Companion {
    DoNothing, // Exec=true %f
    Recording, // Exec=touch <marker> %f, so that a launch can be seen
    Missing    // no entry at all
};

class Sandbox {
public:
    Sandbox(const std::filesystem::path& scratch, Companion companion = Companion::DoNothing);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& TempFolder() const { return temp_; }
    std::filesystem::path ExportFolder() const { return temp_ / "QuenfieldImport"; }
    // Names of the entries in the export folder, sorted; empty when it does not exist.
    std::vector<std::string> ExportEntries() const;
    std::vector<uint8_t> ReadExport(const std::string& name) const;
    // Whether the recording companion was started, waiting up to the given time for it.
    bool Launched(std::chrono::milliseconds wait) const;
    // Waits for the launch of an export that succeeded and forgets it, so that the next export's can be seen.
    void ForgetLaunch();
    // Points TMPDIR elsewhere (or unsets it for an empty value) for the rest of the sandbox.
    void SetTempVariable(const std::string& value);

private:
    struct Saved {
        std::string name;
        std::optional<std::string> value;
    };
    void Set(const std::string& name, const std::optional<std::string>& value);

    std::filesystem::path temp_;
    std::filesystem::path marker_;
    std::vector<Saved> saved_;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

} // namespace validate

#endif

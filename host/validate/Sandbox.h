// The surroundings of one check: a private temporary folder (TMPDIR), a private home folder (HOME) and a
// private XDG data folder holding the companion's desktop entry, so that no check touches the user's own
// folders and whatever a plug-in writes, wherever, can be found. The variables are put back when the sandbox
// ends, for checks that share one process (--in-process).
#ifndef QUENFIELD_VALIDATE_SANDBOX_H
#define QUENFIELD_VALIDATE_SANDBOX_H

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace validate {

enum class Companion {
    DoNothing, // Exec=true %f
    Recording, // Exec=touch <marker> %f, so that a launch can be seen
    Missing    // no entry at all
};

// Regular files by their path under $TMPDIR/ or $HOME/, with their bytes.
using Files = std::map<std::string, std::vector<uint8_t>>;

class Sandbox {
public:
    Sandbox(const std::filesystem::path& scratch, Companion companion = Companion::DoNothing);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // The innermost sandbox alive, or null.
    static Sandbox* Current();

    const std::filesystem::path& TempFolder() const { return temp_; }
    const std::filesystem::path& Scratch() const { return scratch_; }
    // Every regular file under the temporary and home folders: what exports have left.
    Files Outputs() const;
    // Empties the temporary and home folders, so that the next export's files are all that is there.
    void ClearOutputs() const;
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

    std::filesystem::path scratch_;
    std::filesystem::path temp_;
    std::filesystem::path home_;
    std::filesystem::path marker_;
    Sandbox* outer_ = nullptr;
    std::vector<Saved> saved_;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

} // namespace validate

#endif

// Scratch folders, environment variables and whole-file reads for tests that touch the disk.
#ifndef QUENFIELD_TESTS_TESTFILES_H
#define QUENFIELD_TESTS_TESTFILES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testfiles {

// A fresh folder of this user's under the system's /tmp, removed with everything in it (links are removed,
// never followed) when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path; }
    std::string Join(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

// Sets (or with nullopt unsets) an environment variable and restores the old state when it goes.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name;
    std::optional<std::string> old;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

} // namespace testfiles

#endif

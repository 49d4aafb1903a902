#include "Sandbox.h"

#include "Check.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace validate {
namespace fs = std::filesystem;
namespace {

// A path written into a desktop entry's Exec line unquoted.
bool IsPlainPath(const std::string& path) {
    return std::all_of(path.begin(), path.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
               c == '.' || c == '_' || c == '-';
    });
}

void WriteEntry(const fs::path& data, const std::string& exec) {
    fs::create_directories(data / "applications");
    std::ofstream entry(data / "applications" / (std::string(QUENFIELD_APP_ID) + ".desktop"));
    entry << "[Desktop Entry]\nType=Application\nName=Validator companion\nExec=" << exec << " %f\n";
    if (!entry.flush()) {
        throw std::runtime_error("cannot write the companion's desktop entry in " + data.string());
    }
}

Sandbox* current = nullptr;

void EmptyFolder(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        fs::permissions(entry.path(), fs::perms::owner_all,
                        fs::perm_options::add | fs::perm_options::nofollow, error);
        fs::remove_all(entry.path(), error);
    }
}

void CollectFiles(const fs::path& root, const std::string& prefix, Files& files) {
    std::error_code error;
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error)) {
            files[prefix + fs::relative(it->path(), root).string()] = ReadBytes(it->path());
        }
    }
}

} // namespace

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Sandbox::Sandbox(const fs::path& scratch, Companion companion)
    : scratch_(scratch), temp_(scratch / "tmp"), home_(scratch / "home"), outer_(current) {
    fs::create_directories(temp_);
    fs::create_directories(home_);
    const fs::path data = scratch / "data";
    fs::create_directories(data);
    marker_ = scratch / "companion-started";
    switch (companion) {
    case Companion::DoNothing:
        WriteEntry(data, "true");
        break;
    case Companion::Recording:
        if (!IsPlainPath(marker_.string())) {
            Skip("the scratch folder " + scratch.string() + " cannot be named in a desktop entry unquoted");
        }
        // The file goes to sh as $0 and is left alone: touched, a late companion of one export would create
        // it again after the next export emptied the folder, in the instant before that export creates it.
        WriteEntry(data, "/bin/sh -c \"touch " + marker_.string() + "\"");
        break;
    case Companion::Missing:
        break;
    }
    Set("TMPDIR", temp_.string());
    Set("HOME", home_.string());
    Set("XDG_DATA_HOME", data.string());
    // A folder without entries, so the system's own companion, if one is installed, is not found either.
    Set("XDG_DATA_DIRS", (scratch / "no-data").string());
    // The desktop's own state, which launching a companion may touch, lies outside the folders searched.
    for (const char* name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
        Set(name, (scratch / "xdg" / name).string());
    }
    current = this;
}

Sandbox* Sandbox::Current() {
    return current;
}

Files Sandbox::Outputs() const {
    Files files;
    CollectFiles(temp_, "$TMPDIR/", files);
    CollectFiles(home_, "$HOME/", files);
    return files;
}

void Sandbox::ClearOutputs() const {
    EmptyFolder(temp_);
    EmptyFolder(home_);
}

Sandbox::~Sandbox() {
    current = outer_;
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->value) {
            setenv(it->name.c_str(), it->value->c_str(), 1);
        } else {
            unsetenv(it->name.c_str());
        }
    }
}

void Sandbox::Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back({name, old != nullptr ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

void Sandbox::SetTempVariable(const std::string& value) {
    Set("TMPDIR", value.empty() ? std::nullopt : std::optional<std::string>(value));
}

std::vector<std::string> Sandbox::ExportEntries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(ExportFolder(), error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> Sandbox::ReadExport(const std::string& name) const {
    return ReadBytes(ExportFolder() / name);
}

bool Sandbox::Launched(std::chrono::milliseconds wait) const {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!fs::exists(marker_)) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Sandbox::ForgetLaunch() {
    if (Launched(std::chrono::seconds(5))) {
        std::filesystem::remove(marker_);
    }
}

} // namespace validate

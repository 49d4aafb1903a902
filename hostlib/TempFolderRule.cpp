#include "TempFolderRule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace host {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kForeignWrite = S_IWGRP | S_IWOTH;

std::string Owner(uid_t uid) {
    return uid == 0 ? "root" : "user " + std::to_string(uid);
}

// Why the folder at path is not one only root and the user can change; empty when it is.
std::string Untrusted(const fs::path& path, const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return path.string() + " is a symbolic link";
    }
    if (!S_ISDIR(info.st_mode)) {
        return path.string() + " is not a folder";
    }
    if (info.st_uid != 0 && info.st_uid != geteuid()) {
        return path.string() + " belongs to " + Owner(info.st_uid);
    }
    if ((info.st_mode & kForeignWrite) != 0 && (info.st_mode & S_ISVTX) == 0) {
        return path.string() + " can be written by other users and is not sticky";
    }
    return {};
}

// The walk from / to path; the reason of the first folder that fails it, empty when none does.
std::string Walk(const fs::path& path, struct stat& last) {
    fs::path reached = "/";
    std::string why = lstat("/", &last) == 0 ? Untrusted(reached, last) : "/ cannot be read";
    for (const fs::path& part : path.relative_path()) {
        if (!why.empty()) {
            return why;
        }
        if (part == "." || part == "..") {
            return path.string() + " holds \"" + part.string() + "\"";
        }
        reached /= part;
        why = lstat(reached.c_str(), &last) == 0 ? Untrusted(reached, last)
                                                 : reached.string() + " does not exist";
    }
    return why;
}

std::optional<fs::path> Absolute(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    std::string path(value);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path == "/" ? std::nullopt : std::optional<fs::path>(path);
}

// The folder the candidate leads to, or the reason it leads nowhere.
struct Outcome {
    fs::path folder;
    std::string why;
};

Outcome PrivateChild(const fs::path& shared) {
    const fs::path child = shared / ("quenfield-" + std::to_string(geteuid()));
    struct stat info {};
    if (lstat(child.c_str(), &info) != 0) {
        return {child, {}}; // the plug-in makes it
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        return {{}, child.string() + " was refused: it is not a real folder"};
    }
    if (info.st_uid != geteuid()) {
        return {{}, child.string() + " was refused: it belongs to " + Owner(info.st_uid) + ", not to you"};
    }
    return {child, {}};
}

Outcome Judge(const fs::path& path, mode_t closed, bool shared) {
    struct stat info {};
    const std::string untrusted = Walk(path, info);
    if (!untrusted.empty()) {
        return {{}, path.string() + " was refused: " + untrusted};
    }
    if (info.st_uid == geteuid() && (info.st_mode & closed) == 0) {
        return {path, {}};
    }
    if (shared && (info.st_mode & S_ISVTX) != 0 && (info.st_mode & kForeignWrite) != 0) {
        return PrivateChild(path);
    }
    return {{}, path.string() + " was refused: it is not yours alone"};
}

} // namespace

TempFolderChoice ChooseTempFolder() {
    TempFolderChoice choice;
    const auto consider = [&choice](const std::optional<fs::path>& path, mode_t closed, bool shared) {
        if (!choice.folder.empty() || !path) {
            return;
        }
        Outcome outcome = Judge(*path, closed, shared);
        choice.folder = outcome.folder;
        if (!outcome.why.empty()) {
            choice.refused.push_back(outcome.why);
        }
    };
    consider(Absolute("TMPDIR"), kForeignWrite, true);
    consider(fs::path("/tmp"), kForeignWrite, true);
    consider(Absolute("XDG_RUNTIME_DIR"), S_IRWXG | S_IRWXO, false);
    return choice;
}

std::string TempFolderNote() {
    const TempFolderChoice choice = ChooseTempFolder();
    if (choice.refused.empty()) {
        return {};
    }
    std::string note;
    for (const std::string& why : choice.refused) {
        note += (note.empty() ? "" : "; ") + why;
    }
    if (choice.folder.empty()) {
        return note +
               "; no temporary folder is left that only you can change (set TMPDIR to a folder of yours)";
    }
    return note + "; the export goes to " + (choice.folder / "QuenfieldImport").string() + " instead";
}

} // namespace host

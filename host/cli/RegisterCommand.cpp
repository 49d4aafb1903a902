#include "Commands.h"
#include "DesktopEntry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <system_error>

namespace host {
namespace {

std::string EntryName() {
    return std::string(QUENFIELD_APP_ID) + ".desktop";
}

// Missing folders are made private to the user, as the data folders are meant to be.
void MakeFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            throw std::system_error(errno, std::generic_category(), "cannot create " + made.string());
        }
    }
}

// Written beside the entry under a temporary name and renamed over it, so the plug-in never reads half an
// entry.
void WriteEntry(const std::filesystem::path& entry, const std::string& text) {
    const std::filesystem::path temporary = entry.string() + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot write " + temporary.string());
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int error = errno;
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        throw std::system_error(written ? errno : error, std::generic_category(),
                                "cannot write " + temporary.string());
    }
    if (rename(temporary.c_str(), entry.c_str()) != 0) {
        const int renameError = errno;
        unlink(temporary.c_str());
        throw std::system_error(renameError, std::generic_category(), "cannot write " + entry.string());
    }
}

bool IsProgram(const std::filesystem::path& path) {
    return access(path.c_str(), X_OK) == 0 && !std::filesystem::is_directory(path);
}

} // namespace

std::filesystem::path DefaultCompanionPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::current_path() : self.parent_path();
    const std::filesystem::path beside = folder / "quenfield-import";
    if (IsProgram(beside)) {
        return beside;
    }
    return folder.parent_path() / "companion" / "quenfield-import";
}

int RunRegister(const std::filesystem::path& companion) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::absolute(companion, error).lexically_normal();
    if (!IsProgram(program)) {
        std::cerr << "quenfield-export: cannot register the companion: " << program.string()
                  << " is not a program (build it, or name it with --companion)\n";
        return 1;
    }
    try {
        const std::filesystem::path folder = UserApplicationsFolder();
        MakeFolders(folder);
        const std::filesystem::path entry = folder / EntryName();
        WriteEntry(entry, CompanionEntry(program));
        std::cout << "Registered the companion application " << program.filename().string() << " for you in "
                  << ShortPath(entry) << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quenfield-export: cannot register the companion: " << e.what() << '\n';
        return 1;
    }
}

int RunUnregister() {
    const std::filesystem::path entry = UserApplicationsFolder() / EntryName();
    if (unlink(entry.c_str()) != 0) {
        if (errno == ENOENT) {
            std::cout << "No companion application was registered for you in " << ShortPath(entry)
                      << std::endl;
            return 0;
        }
        std::cerr << "quenfield-export: cannot remove " << entry.string() << ": " << std::strerror(errno)
                  << '\n';
        return 1;
    }
    std::cout << "Removed the companion application's entry " << ShortPath(entry) << std::endl;
    return 0;
}

} // namespace host

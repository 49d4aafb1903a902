#include "Commands.h"
#include "DesktopEntry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
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
// entry. The name is random and made exclusively, relative to the folder as opened once: nothing planted
// under any name (a link to another file) is ever written through.
class EntryWriter {
public:
    explicit EntryWriter(const std::filesystem::path& folder) : folder_(folder) {
        dir_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir_ < 0) {
            throw std::system_error(errno, std::generic_category(), "cannot open " + folder.string());
        }
    }
    ~EntryWriter() {
        if (!temporary_.empty()) {
            unlinkat(dir_, temporary_.c_str(), 0);
        }
        close(dir_);
    }
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    void Write(const std::string& name, const std::string& text) {
        const int fd = CreateTemporary(name);
        const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        const int error = errno;
        if (close(fd) != 0 || !written) {
            throw std::system_error(written ? errno : error, std::generic_category(),
                                    "cannot write " + (folder_ / temporary_).string());
        }
        if (renameat(dir_, temporary_.c_str(), dir_, name.c_str()) != 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot write " + (folder_ / name).string());
        }
        temporary_.clear();
    }

private:
    int CreateTemporary(const std::string& name) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
            const std::string candidate = "." + name + "." + suffix + ".new";
            const int fd =
                openat(dir_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd >= 0) {
                temporary_ = candidate;
                fchmod(fd, 0644); // whatever the umask, as an entry is meant to be read
                return fd;
            }
            if (errno != EEXIST) {
                throw std::system_error(errno, std::generic_category(),
                                        "cannot write " + (folder_ / candidate).string());
            }
        }
        throw std::runtime_error("cannot find a free temporary name in " + folder_.string());
    }

    std::filesystem::path folder_;
    int dir_ = -1;
    std::string temporary_;
};

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
        const std::string text = CompanionEntry(program);
        MakeFolders(folder);
        EntryWriter(folder).Write(EntryName(), text);
        const std::filesystem::path entry = folder / EntryName();
        std::cout << "Registered the companion application " << program.filename().string() << " for you in "
                  << ShortPath(entry) << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quenfield-export: cannot register the companion: " << e.what() << '\n';
        return 1;
    }
}

int RunUnregister() {
    std::filesystem::path entry;
    try {
        entry = UserApplicationsFolder() / EntryName();
    } catch (const std::runtime_error& e) {
        std::cerr << "quenfield-export: cannot unregister the companion: " << e.what() << '\n';
        return 1;
    }
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

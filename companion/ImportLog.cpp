#include "ImportLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

namespace companion {
namespace {

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::filesystem::path StateHome() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return state;
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr && *home != '\0' ? home : "/") / ".local" / "state";
}

// Missing folders are made the user's alone, as the XDG base directories ask.
void MakeFolders(const std::filesystem::path& folder) {
    std::filesystem::path partial;
    for (const std::filesystem::path& part : folder) {
        partial /= part;
        ::mkdir(partial.c_str(), 0700);
    }
}

// The log is never written through a link.
void Append(const std::filesystem::path& file, const std::string& text) {
    MakeFolders(file.parent_path());
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    // One write per line keeps the lines of companions running side by side whole.
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
    ::close(fd);
}

} // namespace

std::string EscapeControls(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '\\') {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::filesystem::path LogFile() {
    return StateHome() / "quenfield" / "quenfield-import.log";
}

void LogImport(const std::string& text) {
    const std::string line = EscapeControls(text);
    // One write, so that the line stays whole beside the host's output on the same terminal.
    std::cerr << ("quenfield-import: " + line + "\n") << std::flush;
    Append(LogFile(), Timestamp() + ' ' + line + '\n');
}

} // namespace companion

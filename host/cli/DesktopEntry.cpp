#include "DesktopEntry.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace host {
namespace {

std::string Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}

// A desktop entry's string value: backslash is its escape character, and a tab is written as its escape.
std::string EscapeValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\t') {
            escaped += "\\t";
            continue;
        }
        if (c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// Well-formed UTF-8: no stray continuation byte, no overlong form, no surrogate, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const size_t length = byte < 0x80                    ? 1
                              : byte >= 0xC2 && byte <= 0xDF ? 2
                              : byte >= 0xE0 && byte <= 0xEF ? 3
                              : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                             : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// Control characters other than a tab (which the entry escapes): an entry's values cannot hold them.
bool HasControl(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

// One argument of an Exec line: always in double quotes, inside which ", `, $ and \ take a backslash.
std::string ExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::filesystem::path UserApplicationsFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::filesystem::path(dataHome) / "applications";
    }
    const std::string home = Home();
    if (home.empty() || home[0] != '/') {
        throw std::runtime_error("neither XDG_DATA_HOME nor HOME names an absolute folder to hold the entry");
    }
    return std::filesystem::path(home) / ".local" / "share" / "applications";
}

std::filesystem::path FindEntry(const std::string& name) {
    std::vector<std::filesystem::path> folders;
    try {
        folders.push_back(UserApplicationsFolder());
    } catch (const std::runtime_error&) {
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share");
    for (std::string folder; std::getline(list, folder, ':');) {
        if (!folder.empty() && folder[0] == '/') {
            folders.push_back(std::filesystem::path(folder) / "applications");
        }
    }
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(folder / name, error)) {
            return folder / name;
        }
    }
    return {};
}

bool IsHiddenEntry(const std::filesystem::path& entry) {
    std::ifstream in(entry);
    bool inMainGroup = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
        } else if (inMainGroup && line.rfind("Hidden", 0) == 0) {
            const size_t equals = line.find('=');
            const auto trimmed = [](std::string text) {
                text.erase(0, text.find_first_not_of(" \t"));
                text.erase(text.find_last_not_of(" \t") + 1);
                return text;
            };
            if (equals != std::string::npos && trimmed(line.substr(6, equals - 6)).empty() &&
                trimmed(line.substr(equals + 1)) == "true") {
                return true;
            }
        }
    }
    return false;
}

std::string CompanionEntry(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (!IsUtf8(path)) {
        throw std::invalid_argument("the companion's path is not UTF-8, which a desktop entry must be");
    }
    if (HasControl(path)) {
        throw std::invalid_argument(
            "the companion's path holds a line break or another control character, which a desktop entry "
            "cannot hold");
    }
    // An entry would write it %%, and GIO looks for the program under that name before it expands the %%.
    if (path.find('%') != std::string::npos) {
        throw std::invalid_argument("the companion's path holds a %, which GIO cannot start a program from");
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.5\n"
           "Name=Quenfield Import\n"
           "Comment=Imports images exported by the Quenfield export plug-in as TIFF\n"
           "Exec=" +
           EscapeValue(ExecArgument(path)) +
           " %f\n"
           "TryExec=" +
           EscapeValue(path) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "Categories=Graphics;\n";
}

std::string ShortPath(const std::filesystem::path& path) {
    const std::string home = Home();
    const std::string text = path.string();
    if (home.size() > 1 && text.compare(0, home.size(), home) == 0 && text.size() > home.size() &&
        text[home.size()] == '/') {
        return "~" + text.substr(home.size());
    }
    return text;
}

} // namespace host

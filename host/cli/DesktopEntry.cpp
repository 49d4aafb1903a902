#include "DesktopEntry.h"

#include <cstdlib>
#include <stdexcept>

namespace host {
namespace {

std::string Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}

// A desktop entry's string value: backslash is its escape character.
std::string EscapeValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
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
    return std::filesystem::path(Home()) / ".local" / "share" / "applications";
}

std::string CompanionEntry(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (path.find_first_of("\n\r") != std::string::npos) {
        throw std::invalid_argument(
            "the companion's path holds a line break, which a desktop entry cannot hold");
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

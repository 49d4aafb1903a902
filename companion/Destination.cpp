#include "Destination.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace companion {
namespace {

std::filesystem::path Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? home : "/";
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The line XDG_PICTURES_DIR="$HOME/..." or XDG_PICTURES_DIR="/..."; empty when absent or when it names the
// home folder itself, which the file's format uses to switch the folder off.
std::filesystem::path FromUserDirs() {
    std::string config = Environment("XDG_CONFIG_HOME");
    const std::filesystem::path folder = config.empty() ? Home() / ".config" : std::filesystem::path(config);
    std::ifstream file(folder / "user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0) {
            value = Home().string() + value.substr(5);
        }
        const std::filesystem::path path = std::filesystem::path(value).lexically_normal();
        if (path.is_absolute() && path != Home().lexically_normal() && path != Home() / "") {
            return path;
        }
    }
    return {};
}

std::filesystem::path PicturesFolder() {
    const std::string fromEnvironment = Environment("XDG_PICTURES_DIR");
    if (!fromEnvironment.empty() && fromEnvironment.front() == '/') {
        return fromEnvironment;
    }
    const std::filesystem::path fromFile = FromUserDirs();
    return fromFile.empty() ? Home() / "Pictures" : fromFile;
}

} // namespace

std::filesystem::path DefaultDestination() {
    return PicturesFolder() / "Quenfield";
}

} // namespace companion

// Paths of POSIX systems: one separator, the slash.
#include "platform/Path.h"

const char cPATH_SEPARATOR = '/';

namespace _hlp {

bool HasSeparator(const std::string& path) {
    return !path.empty() && path.back() == cPATH_SEPARATOR;
}

std::string AddSeparator(const std::string& path) {
    if (path.empty() || HasSeparator(path)) {
        return path;
    }
    return path + cPATH_SEPARATOR;
}

std::string RemoveSeparator(const std::string& path) {
    if (!HasSeparator(path)) {
        return path;
    }
    return path.substr(0, path.size() - 1);
}

std::string CreatePath(const std::string& folder, const std::string& name) {
    return AddSeparator(folder) + name;
}

} // namespace _hlp

// Path joining: the only code that knows where separators go.
#ifndef QUENFIELD_PLATFORM_PATH_H
#define QUENFIELD_PLATFORM_PATH_H

#include <string>

extern const char cPATH_SEPARATOR; // the platform's path separator
// Bytes of a path field, its terminating zero included: the longest path an export uses is one less.
constexpr unsigned int uiPATH_CAPACITY = 256;

namespace _hlp {

bool HasSeparator(const std::string& path);
// Appends one separator unless the path is empty or already ends with one.
std::string AddSeparator(const std::string& path);
// Drops one trailing separator, if there is one.
std::string RemoveSeparator(const std::string& path);
// AddSeparator(folder) + name, with no other normalisation.
std::string CreatePath(const std::string& folder, const std::string& name);

} // namespace _hlp

#endif

// The user's temporary folder.
#ifndef QUENFIELD_PLATFORM_TEMPFOLDER_H
#define QUENFIELD_PLATFORM_TEMPFOLDER_H

#include <string>

namespace _sys {

// Absolute, existing, at most 255 bytes, no trailing separator, and a folder that no other user can write
// to.
bool GetTempFolder(std::string& path);

} // namespace _sys

#endif

// The user's temporary folder.
#ifndef QUENFIELD_PLATFORM_TEMPFOLDER_H
#define QUENFIELD_PLATFORM_TEMPFOLDER_H

#include <string>

namespace _sys {

// Absolute, existing, at most 255 bytes, no trailing separator, and a folder that no other user can write
// to or redirect: every folder on its path is one that only root or the user can change. The folder is held
// open from this check until _sys::ReleaseFolder (CheckedFolder.h); the folder and file routines given a path
// directly inside it work through that descriptor.
bool GetTempFolder(std::string& path);

} // namespace _sys

#endif

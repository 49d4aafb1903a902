// The export folder, checked once and then held open: every later step in it goes through the descriptor
// that was checked, so a folder swapped for another after the check is never the one used.
#ifndef QUENFIELD_PLATFORM_CHECKEDFOLDER_H
#define QUENFIELD_PLATFORM_CHECKEDFOLDER_H

#include <string>

namespace _sys {

// True when path is a real folder (not a link to one) owned by the current user; a folder that group or
// others could write to is narrowed to 0700 first. Anything else is not ours to fill or empty.
// The folder accepted stays open until ReleaseFolder (or the next SecureFolder): the file and folder
// routines that are given its path, or the path of a file directly inside it, work through the descriptor
// that was checked.
bool SecureFolder(const std::string& path);
void ReleaseFolder();

// Releases the folder however the scope is left.
class CFolderRelease {
public:
    CFolderRelease() = default;
    ~CFolderRelease() { ReleaseFolder(); }
    CFolderRelease(const CFolderRelease&) = delete;
    CFolderRelease& operator=(const CFolderRelease&) = delete;
};

// Deletes the files directly inside folder that no export still needs: a file being written by a live export
// and one its companion has not opened yet (for a bounded time) stay, as do subfolders and what cannot be
// deleted. When another export is writing into the folder, nothing is deleted this time.
void CleanFolder(const std::string& folder);

} // namespace _sys

#endif

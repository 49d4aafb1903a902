// File and folder services on descriptors and paths. Failures are reported as false (or an empty
// result) without a message; the export code maps them to host result codes.
#ifndef QUENFIELD_SYSTEM_FILES_H
#define QUENFIELD_SYSTEM_FILES_H

#include <string>
#include <vector>

namespace _sys {

// Opens path write-only (write) or read-only. With create the file is always a new regular file of mode 0600:
// whatever entry held the name is removed first, and when it cannot be, nothing is opened. A link in the
// path's last component is never followed. fd is -1 on failure.
bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write);
// One write call for all count bytes; true only when all were written.
bool WriteFile(const int& fd, const void* buf, unsigned int count);
// Closes fd unless it is -1 and leaves it -1 whatever close reported.
bool CloseFile(int& fd);

// While one lives, a write past the file-size limit fails (and the export with it) instead of raising
// SIGXFSZ, whose default action would end the host. Held for a whole export rather than around each write:
// two mask changes per export, not per row. The calling thread's mask is restored afterwards.
class CSizeSignalGuard {
public:
    CSizeSignalGuard();
    ~CSizeSignalGuard();
    CSizeSignalGuard(const CSizeSignalGuard&) = delete;
    CSizeSignalGuard& operator=(const CSizeSignalGuard&) = delete;
};

bool PathExists(const std::string& path);
bool IsFile(const std::string& path);
// Creates the last component with mode 0700: the export folder is private to its user.
bool CreateFolder(const std::string& path);
// True when path is a real folder (not a link to one) owned by the current user; a folder that group or
// others could write to is narrowed to 0700 first. Anything else is not ours to fill or empty.
// The folder accepted stays open until ReleaseFolder (or the next SecureFolder): the routines here that are
// given its path, or the path of a file directly inside it, work through the descriptor that was checked,
// so a folder swapped for another after the check is never the one used.
bool SecureFolder(const std::string& path);
void ReleaseFolder();
// Deletes the files directly inside folder; subfolders and what cannot be deleted stay.
void CleanFolder(const std::string& folder);
// Deletes one file (or link, never a folder); true when it was deleted.
bool RemoveFile(const std::string& path);
// The user's temporary folder: absolute, existing, at most 255 bytes, no trailing separator, and a folder
// that no other user can write to.
bool GetTempFolder(std::string& path);

} // namespace _sys

namespace _hlp {

// Names (not paths) of the files directly inside folder, in directory order.
std::vector<std::string> GetFolderEntries(const std::string& folder);

} // namespace _hlp

#endif

// File and folder services on POSIX descriptors and paths. Failures are reported as false (or an empty
// result) without a message; the export code maps them to host result codes.
#ifndef QUENFIELD_SYSTEM_FILES_H
#define QUENFIELD_SYSTEM_FILES_H

#include <string>
#include <vector>

namespace _sys {

// Opens path write-only (write) or read-only; create adds O_CREAT|O_TRUNC with mode 0600. A link in the
// path's last component is never followed. fd is -1 on failure.
bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write);
// One write call for all count bytes; true only when all were written.
bool WriteFile(const int& fd, const void* buf, unsigned int count);
// Closes fd unless it is -1 and leaves it -1 whatever close reported.
bool CloseFile(int& fd);

bool PathExists(const std::string& path);
bool IsFile(const std::string& path);
// Creates the last component with mode 0700: the export folder is private to its user.
bool CreateFolder(const std::string& path);
// True when path is a real folder (not a link to one) owned by the current user; a folder that group or
// others could write to is narrowed to 0700 first. Anything else is not ours to fill or empty.
bool SecureFolder(const std::string& path);
// Deletes the files directly inside folder; subfolders and what cannot be deleted stay.
void CleanFolder(const std::string& folder);
// The user's temporary folder: absolute, existing, at most 255 bytes, no trailing separator.
bool GetTempFolder(std::string& path);

} // namespace _sys

namespace _hlp {

// Names (not paths) of the files directly inside folder, in directory order.
std::vector<std::string> GetFolderEntries(const std::string& folder);

} // namespace _hlp

#endif

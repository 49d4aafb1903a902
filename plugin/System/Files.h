// File and folder services on POSIX descriptors and paths. Failures are reported as false (or an empty
// result) without a message; the export code maps them to host result codes.
#ifndef QUENFIELD_SYSTEM_FILES_H
#define QUENFIELD_SYSTEM_FILES_H

#include <string>
#include <vector>

namespace _sys {

// Opens path write-only (write) or read-only; create adds O_CREAT|O_TRUNC with mode 0600. fd is -1 on
// failure.
bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write);
// One write call for all count bytes; true only when all were written.
bool WriteFile(const int& fd, const void* buf, unsigned int count);
// Closes fd unless it is -1 and leaves it -1 whatever close reported.
bool CloseFile(int& fd);

bool PathExists(const std::string& path);
bool IsFile(const std::string& path);
bool CreateFolder(const std::string& path);
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

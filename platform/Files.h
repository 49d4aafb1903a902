// File services on descriptors and paths. Failures are reported as false without a message; the export code
// maps them to host result codes.
#ifndef QUENFIELD_PLATFORM_FILES_H
#define QUENFIELD_PLATFORM_FILES_H

#include <string>

namespace _sys {

// Opens path write-only (write) or read-only. With create the file is always a new regular file of mode 0600:
// whatever entry held the name is removed first, and when it cannot be, nothing is opened. A link in the
// path's last component is never followed. fd is -1 on failure. A path inside the checked folder (see
// platform/CheckedFolder.h) is opened through that folder's descriptor.
bool OpenFile(int& fd, const std::string& path, unsigned char create, unsigned char write);
// One write call for all count bytes; true only when all were written.
bool WriteFile(const int& fd, const void* buf, unsigned int count);
// Closes fd unless it is -1 and leaves it -1 whatever close reported.
bool CloseFile(int& fd);
// Deletes one file (or link, never a folder); true when it was deleted.
bool RemoveFile(const std::string& path);

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

// Both work through the held temporary folder's descriptor for a path directly inside it.
bool PathExists(const std::string& path);
// Creates the last component with mode 0700: the export folder is private to its user.
bool CreateFolder(const std::string& path);

} // namespace _sys

#endif

// Inside the Linux platform layer: the checked folders' descriptors, for the steps in them (listing,
// removing, creating the file), so a folder renamed or swapped for a link after the check is never the one
// used.
#ifndef QUENFIELD_PLATFORM_LINUX_CHECKEDFOLDER_H
#define QUENFIELD_PLATFORM_LINUX_CHECKEDFOLDER_H

#include <string>
#include <sys/stat.h>

namespace _sys {

// Where a path leads: directly inside the checked folder or the held temporary folder, that folder's
// descriptor and the last component; anywhere else, AT_FDCWD and the path as it is.
struct SFilePlace {
    int iFolder;
    std::string strName;
};
SFilePlace LocateFile(const std::string& path);

// The temporary folder found for this export, held from its check (TempFolder.cpp) until ReleaseFolder; the
// folder takes over fd, and a folder held before is let go.
void HoldTempFolder(const std::string& path, int fd);
// The checked folder's descriptor, -1 when none is checked.
int GetCheckedFolder();

// One folder's descriptor for the object's lifetime: the checked folder's own when folder names it, else
// the folder opened by its path and closed with the object. -1 when it cannot be opened.
class CFolderAccess {
public:
    explicit CFolderAccess(const std::string& folder);
    ~CFolderAccess();
    CFolderAccess(const CFolderAccess&) = delete;
    CFolderAccess& operator=(const CFolderAccess&) = delete;

    int GetDescriptor() const { return iDescriptor; }

private:
    int iDescriptor;
    bool bOwned;
};

// The folder name inside the folder at, opened without following a link, when it is a real folder of this
// user's; one that group or others could write to is narrowed to 0700 first. -1 otherwise.
int OpenOwnFolder(int at, const std::string& name);

// An export file that its companion has not opened yet: published (atime set to 0, see PendingFile.cpp) less
// than the hand-off time ago and not read since, for a read moves the access time to the present. Neither
// emptying nor another export of the same name removes it.
bool IsAwaited(const struct stat& info);

} // namespace _sys

#endif

// Inside the Linux platform layer: the checked folder's descriptor, for the steps in that folder (listing,
// removing, creating the file), so a folder renamed or swapped for a link after the check is never the one
// used.
#ifndef QUENFIELD_PLATFORM_LINUX_CHECKEDFOLDER_H
#define QUENFIELD_PLATFORM_LINUX_CHECKEDFOLDER_H

#include <string>

namespace _sys {

// Where a file path leads: inside the checked folder, that folder's descriptor and the last component;
// anywhere else, AT_FDCWD and the path as it is.
struct SFilePlace {
    int iFolder;
    std::string sName;
};
SFilePlace LocateFile(const std::string& path);

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

// The folder at path, opened without following a link in its last component, when it is a real folder of
// this user's; one that group or others could write to is narrowed to 0700 first. -1 otherwise.
int OpenOwnFolder(const std::string& path);

} // namespace _sys

#endif

// Inside the Linux platform layer: folders reached from the root one component at a time through descriptors,
// never through a link, and trusted only when no other user can change them.
#ifndef QUENFIELD_PLATFORM_LINUX_TRUSTEDFOLDER_H
#define QUENFIELD_PLATFORM_LINUX_TRUSTEDFOLDER_H

#include <string>
#include <sys/stat.h>

// Write permission for group or others: what lets another user change a folder's entries.
constexpr mode_t uiFOREIGN_WRITE = S_IWGRP | S_IWOTH;

namespace _sys {

// Owned by root or the user, and not writable by group or others unless it is sticky: then others may add
// entries but not rename or remove ours, and what they add is refused by the owner test of the next step.
bool IsTrustedFolder(const struct stat& info);
// The folder at the absolute path, when the root and every folder on the way to it, itself included, are
// trusted and none is reached through a link ("." and ".." are refused too): a path-only descriptor that
// no later rename by another user can redirect. -1 otherwise.
int OpenTrustedFolder(const std::string& path);

} // namespace _sys

#endif

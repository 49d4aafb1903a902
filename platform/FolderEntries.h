// Listing a folder's files, and the file-type test behind it.
#ifndef QUENFIELD_PLATFORM_FOLDERENTRIES_H
#define QUENFIELD_PLATFORM_FOLDERENTRIES_H

#include <string>
#include <vector>

namespace _sys {

// A regular file, socket or FIFO (a link judged by its target); false for anything else or an empty path.
bool IsFile(const std::string& path);

} // namespace _sys

namespace _hlp {

// Names (not paths) of the files directly inside folder, in directory order.
std::vector<std::string> GetFolderEntries(const std::string& folder);

} // namespace _hlp

#endif

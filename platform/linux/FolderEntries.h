// Inside the Linux platform layer: the listing of an open folder.
#ifndef QUENFIELD_PLATFORM_LINUX_FOLDERENTRIES_H
#define QUENFIELD_PLATFORM_LINUX_FOLDERENTRIES_H

#include <string>
#include <vector>

namespace _sys {

// Names of the files directly inside the open folder, in directory order; a link is judged by its target.
std::vector<std::string> ListFiles(int folder);

} // namespace _sys

#endif

// Where imports go: the Quenfield folder inside the user's pictures folder, unless a folder is given.
#ifndef QUENFIELD_COMPANION_DESTINATION_H
#define QUENFIELD_COMPANION_DESTINATION_H

#include <filesystem>

namespace companion {

// $XDG_PICTURES_DIR, else XDG_PICTURES_DIR of the user-dirs.dirs file in $XDG_CONFIG_HOME (or ~/.config),
// else ~/Pictures; with Quenfield appended.
std::filesystem::path DefaultDestination();

} // namespace companion

#endif

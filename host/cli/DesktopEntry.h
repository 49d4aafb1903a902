// The companion's desktop entry for the current user: how the plug-in finds the program to start.
#ifndef QUENFIELD_HOST_DESKTOPENTRY_H
#define QUENFIELD_HOST_DESKTOPENTRY_H

#include <filesystem>
#include <string>

namespace host {

// $XDG_DATA_HOME/applications when that is absolute, else ~/.local/share/applications: where the plug-in
// looks first. Throws std::runtime_error when neither names an absolute folder (no HOME): a relative one
// would put the entry wherever the program happens to run.
std::filesystem::path UserApplicationsFolder();
// The entry of that name the plug-in would start, looked up as it looks: the user's applications folder, then
// those of $XDG_DATA_DIRS (relative ones passed over); empty when there is none.
std::filesystem::path FindEntry(const std::string& name);
// Hidden=true in the entry's [Desktop Entry] group: the entry is there to switch the program off.
bool IsHiddenEntry(const std::filesystem::path& entry);
// The entry that starts this program on the exported file, the program named by its absolute path. Throws
// std::invalid_argument for a path an entry cannot hold (not UTF-8, a line break or another control
// character but a tab) or GIO cannot start (a %).
std::string CompanionEntry(const std::filesystem::path& program);
// The path with the home folder written as ~, for messages.
std::string ShortPath(const std::filesystem::path& path);

} // namespace host

#endif

// The subcommands of quenfield-export. Each returns the process's exit status.
#ifndef QUENFIELD_HOST_COMMANDS_H
#define QUENFIELD_HOST_COMMANDS_H

#include <filesystem>
#include <string>
#include <vector>

namespace host {

// QuenfieldExport.so next to the executable, else in ../lib/quenfield beside it (the installed layout).
std::filesystem::path DefaultPluginPath();

// Exports every image in turn and prints one line per image; 0 only when every export succeeded.
int RunExport(const std::filesystem::path& plugin, const std::vector<std::string>& images);
// Shows the plug-in's About box.
int RunAbout(const std::filesystem::path& plugin);

} // namespace host

#endif

// The subcommands of quenfield-export. Each returns the process's exit status.
#ifndef QUENFIELD_HOST_COMMANDS_H
#define QUENFIELD_HOST_COMMANDS_H

#include <filesystem>
#include <string>
#include <vector>

namespace host {

// QuenfieldExport.so next to the executable (the build tree), else in the installed layout's plug-in folder,
// found from the executable's folder so that it follows wherever the whole tree was installed.
std::filesystem::path DefaultPluginPath();

// Exports every image in turn and prints one line per image; 0 only when every export succeeded.
int RunExport(const std::filesystem::path& plugin, const std::vector<std::string>& images);
// Shows the plug-in's About box.
int RunAbout(const std::filesystem::path& plugin);

} // namespace host

#endif

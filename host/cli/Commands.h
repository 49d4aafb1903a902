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

// Exports the given page of every image in turn and prints one line per image, notices of what the export
// file does not hold, and with several images a summary; 0 only when every image was exported and handed to
// the companion.
struct ExportOptions {
    uint32_t page = 1;
    uint64_t memoryLimit = 0; // for images decoded whole or in wide blocks
};
int RunExport(const std::filesystem::path& plugin, const std::vector<std::string>& images,
              const ExportOptions& options);
// Writes the desktop entry that lets the plug-in start the companion (quenfield-import beside this program,
// or in the build tree) for the current user, or removes it.
int RunRegister(const std::filesystem::path& companion);
int RunUnregister();
// quenfield-import where this program expects it.
std::filesystem::path DefaultCompanionPath();
// Shows the plug-in's About box.
int RunAbout(const std::filesystem::path& plugin);

} // namespace host

#endif

// The file a successful export left behind, found where the plug-in writes it.
#ifndef QUENFIELD_HOST_EXPORTEDFILE_H
#define QUENFIELD_HOST_EXPORTEDFILE_H

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace host {

struct ExportedFile {
    std::filesystem::path path;
    std::string format; // "PPM, 16-bit" or "PFM, 32-bit float", or what the header says it is not
    std::string size;   // "WxH" as the header gives it
    uintmax_t bytes = 0;
};

// QuenfieldImport in the user's temporary folder, found as the plug-in finds it.
std::filesystem::path ExportFolder();
// The newest file in the export folder (the plug-in empties it before each export).
std::optional<ExportedFile> FindExportedFile();

} // namespace host

#endif

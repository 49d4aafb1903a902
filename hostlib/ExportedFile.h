// The file a successful export left behind, found where the plug-in writes it.
#ifndef QUENFIELD_HOST_EXPORTEDFILE_H
#define QUENFIELD_HOST_EXPORTEDFILE_H

#include "Document.h"

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

// The path the plug-in writes a file of this name to in folder: a path longer than its 255-byte path field
// has the name's stem shortened to fit.
std::filesystem::path FittedPath(const std::filesystem::path& folder, const std::string& name);
// QuenfieldImport in the user's temporary folder, found as the plug-in finds it (TempFolderRule.h).
std::filesystem::path ExportFolder();
// The export file of the document: the name the plug-in gives it, in the export folder. Nothing when no
// regular file has that name. Read without changing its access time, by which the plug-in and the host
// tell whether the companion has opened it.
std::optional<ExportedFile> FindExportedFile(const DocumentInfo& document);

} // namespace host

#endif

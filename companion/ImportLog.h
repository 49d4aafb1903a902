// One line per import, on standard error and appended to quenfield-import.log in the destination folder.
#ifndef QUENFIELD_COMPANION_IMPORTLOG_H
#define QUENFIELD_COMPANION_IMPORTLOG_H

#include <filesystem>
#include <string>

namespace companion {

void LogImport(const std::filesystem::path& folder, const std::string& line);

} // namespace companion

#endif

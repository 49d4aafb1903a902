// One line per import, on standard error and appended to the companion's log among the user's state files.
#ifndef QUENFIELD_COMPANION_IMPORTLOG_H
#define QUENFIELD_COMPANION_IMPORTLOG_H

#include <filesystem>
#include <string>

namespace companion {

// $XDG_STATE_HOME/quenfield/quenfield-import.log, with ~/.local/state for an unset or relative
// XDG_STATE_HOME.
std::filesystem::path LogFile();

// Never fails: a log that cannot be written costs the line in the file, not the import.
void LogImport(const std::string& line);

} // namespace companion

#endif

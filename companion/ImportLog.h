// One line per import, on standard error and appended to the companion's log among the user's state files.
#ifndef QUENFIELD_COMPANION_IMPORTLOG_H
#define QUENFIELD_COMPANION_IMPORTLOG_H

#include <filesystem>
#include <string>

namespace companion {

// $XDG_STATE_HOME/quenfield/quenfield-import.log, with ~/.local/state for an unset or relative
// XDG_STATE_HOME.
std::filesystem::path LogFile();

// Control characters and the backslash as \xNN, so that a name cannot split a line or forge another, nor
// send codes to a terminal.
std::string EscapeControls(const std::string& text);

// The text escaped, as one line. Never fails: a log that cannot be written costs the line in the file, not
// the import.
void LogImport(const std::string& line);

} // namespace companion

#endif

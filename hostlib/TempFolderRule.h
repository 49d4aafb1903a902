// The plug-in's rule for the user's temporary folder, applied again on the host's side so that a host can
// show where an export went and, when a folder was passed over, why.
#ifndef QUENFIELD_HOST_TEMPFOLDERRULE_H
#define QUENFIELD_HOST_TEMPFOLDERRULE_H

#include <filesystem>
#include <string>
#include <vector>

namespace host {

// The first usable of $TMPDIR, /tmp and $XDG_RUNTIME_DIR. A folder is usable only when every folder from /
// to it is a real folder (no link) owned by root or the user and closed to writing by others unless it is
// sticky. $TMPDIR counts as it is when it is the user's and nobody else can write to it; a sticky shared
// folder ($TMPDIR or /tmp) counts through the user's private folder quenfield-<uid> in it, which must be a
// real folder of the user's (or not there yet); $XDG_RUNTIME_DIR only when it is the user's and 0700.
struct TempFolderChoice {
    std::filesystem::path folder;     // empty when no folder is usable
    std::vector<std::string> refused; // each folder passed over, and why, in words
};
TempFolderChoice ChooseTempFolder();

// A line for the user when the export did not go where it normally goes (or could go nowhere): which
// folders were refused and why, and where the export went instead. Empty when nothing was refused.
std::string TempFolderNote();

} // namespace host

#endif

// The export folder under the user's temporary folder.
#include "Export/ExportLocation.h"

#include "platform/CheckedFolder.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "platform/TempFolder.h"

namespace {

const char* const pcEXPORT_FOLDER = "QuenfieldImport";

} // namespace

namespace _exp {

bool GetExportFolder(std::string& folder, unsigned char clean) {
    folder.clear();
    if (!_sys::GetTempFolder(folder)) {
        return false;
    }
    folder = _hlp::CreatePath(folder, pcEXPORT_FOLDER);
    // A folder made just now is checked like one found: the check is what holds the folder open for the
    // steps that follow. Should the folder be planted between the two, the check refuses it.
    if (!_sys::PathExists(folder)) {
        _sys::CreateFolder(folder);
    }
    // Another user may have planted the folder, or a link to a folder of the victim's: only a private
    // folder of our own is emptied and written to.
    if (!_sys::SecureFolder(folder)) {
        return false;
    }
    if (clean) {
        _sys::CleanFolder(folder);
    }
    return true;
}

} // namespace _exp

// The export folder under the user's temporary folder, and the file name derived from the document's name.
#include "Export/ExportLocation.h"

#include "Error.h"
#include "Export/Classify.h"
#include "System/Files.h"
#include "System/Helpers.h"
#include "System/Path.h"

namespace {

const char* const pcEXPORT_FOLDER = "QuenfieldImport";

// The record's length-prefixed name, ending early at a NUL.
std::string GetDocumentName(const ExportRecord* record) {
    const unsigned char* text = record->filename + 1;
    const unsigned int length = record->filename[0];
    unsigned int end = 0;
    while (end < length && text[end] != '\0') {
        ++end;
    }
    return std::string(reinterpret_cast<const char*>(text), end);
}

const char* GetExtension(const ExportRecord* record) {
    switch (_exp::GetExportMode(record)) {
    case _exp::eEXPORT_MODE_PPM:
        return pcEXPORT_EXTENSION_PPM;
    case _exp::eEXPORT_MODE_PFM:
        return pcEXPORT_EXTENSION_PFM;
    default:
        return nullptr;
    }
}

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

bool GetExportFilename(ExportRecord* record, std::string& name) {
    _hlp::Require(record != nullptr);
    name = GetDocumentName(record);
    const size_t separator = name.rfind(cPATH_SEPARATOR);
    if (separator != std::string::npos) {
        name.erase(0, separator + 1);
    }
    const size_t point = name.rfind(cPOINT);
    if (point != std::string::npos) {
        name.erase(point);
    }
    name = _hlp::RemoveIllegalChars(name);
    const char* extension = GetExtension(record);
    if (name.empty() || extension == nullptr) {
        name.clear();
        return false;
    }
    name = name + cPOINT + extension;
    return true;
}

} // namespace _exp

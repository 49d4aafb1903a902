// The export file's name from the document's: the characters a file name may keep, and the extensions of
// the two formats.
#include "Export/ExportName.h"

#include "Export/Classify.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <cstring>

const char cPOINT = '.';
const char* const pcLEGAL_CHARS = "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ0123456789+-()_";
const char* const pcEXPORT_EXTENSION_PPM = "ppm";
const char* const pcEXPORT_EXTENSION_PFM = "pfm";

namespace {

const char cREPLACEMENT = '_';

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

namespace _hlp {

bool CharIsLegal(char c) {
    // strchr would find the terminator itself, so NUL is tested apart.
    return c != '\0' && std::strchr(pcLEGAL_CHARS, c) != nullptr;
}

std::string RemoveIllegalChars(const std::string& text) {
    std::string result(text);
    for (char& c : result) {
        if (!CharIsLegal(c)) {
            c = cREPLACEMENT;
        }
    }
    return result;
}

} // namespace _hlp

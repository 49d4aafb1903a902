// What the export file is called: the document's name, cut to the characters a file name may keep, and the
// extension of its format.
#ifndef QUENFIELD_EXPORT_EXPORTNAME_H
#define QUENFIELD_EXPORT_EXPORTNAME_H

#include "ExportInterface.h"

#include <string>

extern const char cPOINT; // separates a file name from its extension
extern const char* const pcLEGAL_CHARS;
extern const char* const pcEXPORT_EXTENSION_PPM;
extern const char* const pcEXPORT_EXTENSION_PFM;

namespace _exp {

// The file name derived from the document's name, with its extension; false when nothing is left of the name.
bool GetExportFilename(ExportRecord* record, std::string& name);

} // namespace _exp

namespace _hlp {

bool CharIsLegal(char c);
// Same length; every character outside the legal set becomes an underscore.
std::string RemoveIllegalChars(const std::string& text);

} // namespace _hlp

#endif

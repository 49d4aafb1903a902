// Where the export file goes and what it is called.
#ifndef QUENFIELD_EXPORT_EXPORTLOCATION_H
#define QUENFIELD_EXPORT_EXPORTLOCATION_H

#include "ExportInterface.h"

#include <string>

extern const char* const pcLEGAL_CHARS;
extern const char* const pcEXPORT_EXTENSION_PPM;
extern const char* const pcEXPORT_EXTENSION_PFM;

namespace _exp {

// The export folder, existing, checked and ready for the file; emptied first when clean is set. On success
// the folder is held open (see _sys::SecureFolder) until _sys::ReleaseFolder.
bool GetExportFolder(std::string& folder, unsigned char clean);
// The file name derived from the document's name, with its extension; false when nothing is left of the name.
bool GetExportFilename(ExportRecord* record, std::string& name);

} // namespace _exp

namespace _hlp {

bool CharIsLegal(char c);
// Same length; every character outside the legal set becomes an underscore.
std::string RemoveIllegalChars(const std::string& text);

} // namespace _hlp

#endif

// Where the export file goes: the export folder.
#ifndef QUENFIELD_EXPORT_EXPORTLOCATION_H
#define QUENFIELD_EXPORT_EXPORTLOCATION_H

#include <string>

namespace _exp {

// The export folder, existing, checked and ready for the file; emptied first when clean is set. On success
// the folder is held open (see _sys::SecureFolder) until _sys::ReleaseFolder.
bool GetExportFolder(std::string& folder, unsigned char clean);

} // namespace _exp

#endif

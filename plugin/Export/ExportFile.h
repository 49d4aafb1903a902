// The export file: its lifecycle on SGlobals::iFile and its PPM and PFM headers.
#ifndef QUENFIELD_EXPORT_EXPORTFILE_H
#define QUENFIELD_EXPORT_EXPORTFILE_H

#include "DataGlobal.h"

#include <cstdint>

namespace _exp {

// The file for aPath is written under a temporary name (see platform/PendingFile.h) and has the name aPath
// only from PublishExportFile on, once it is complete and closed.
int16_t OpenExportFile(SGlobals* globals);
int16_t CloseExportFile(SGlobals* globals);
int16_t PublishExportFile(const SGlobals* globals);
// Removes the unpublished file, and only that file: what a failed export leaves must not pass for an export.
void RemoveExportFile(const SGlobals* globals);
int16_t WriteToExportFile(const SGlobals* globals, const void* data, unsigned int count);

int16_t WriteHeaderLine(const SGlobals* globals, const char* text);
// Formats one value into a header line of at most 30 characters and writes it with its LF.
template <class T>
int16_t WriteHeaderLine(const SGlobals* globals, const char* format, T value);

int16_t WritePPMHeader(const SGlobals* globals);
int16_t WritePFMHeader(const SGlobals* globals);
int16_t WriteImageHeader(const SGlobals* globals);

} // namespace _exp

#endif

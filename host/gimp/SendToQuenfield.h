// The bridge's two procedures: the export of the open image, and the plug-in's About box.
#ifndef QUENFIELD_GIMP_SENDTOQUENFIELD_H
#define QUENFIELD_GIMP_SENDTOQUENFIELD_H

#include <libgimp/gimp.h>

#include <filesystem>
#include <string>

namespace gimpbridge {

struct ProcedureResult {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string error; // in words, for GIMP's message and the caller; empty on success
};

// The export plug-in module: $QUENFIELD_EXPORT_MODULE when set (tests, the build tree), else where the
// installation put it.
std::filesystem::path ModulePath();

ProcedureResult SendImage(gint32 image);
// Non-interactively, only loads the plug-in: the box would wait for a user who is not there.
ProcedureResult ShowAbout(GimpRunMode mode);

} // namespace gimpbridge

#endif

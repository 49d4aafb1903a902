// The host's handle routines: movable blocks of host memory, counted so that leaks show.
#ifndef QUENFIELD_HOST_HOSTHANDLES_H
#define QUENFIELD_HOST_HOSTHANDLES_H

#include "ExportInterface.h"

namespace host::handles {

// The table handed to plug-ins, all eight routines; the same table for the life of the process.
HandleProcs* Procs();
bool IsValid(Handle h);
int32_t Live();          // created and not yet disposed of
int32_t Locks(Handle h); // locks not yet undone; 0 for a handle that is not live

} // namespace host::handles

#endif

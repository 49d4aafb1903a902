// The host's handle routines: movable blocks of host memory, counted so that leaks show. One registry for
// the process; every table below hands out and finds the same handles.
#ifndef QUENFIELD_HOST_HOSTHANDLES_H
#define QUENFIELD_HOST_HOSTHANDLES_H

#include "ExportInterface.h"
#include "Scenario.h"

namespace host::handles {

// The table handed to plug-ins, all eight routines; the same table for the life of the process.
HandleProcs* Procs();
// A copy of that table for a caller that spoils its version, count or routines.
HandleProcs Table();
// The table a host of the given kind offers: null for none, else one that lives as long as the process.
HandleProcs* Offered(fuzz::HandleMode mode);

bool IsValid(Handle h);
void Dispose(Handle h);  // a live handle only; anything else is left alone
int32_t Live();          // created and not yet disposed of
int32_t Locked();        // live handles with a lock not yet undone
int32_t Locks(Handle h); // locks not yet undone; 0 for a handle that is not live
int32_t Created();       // handles created since the last ResetCreated
void ResetCreated();

// Called with what was wrong when a plug-in unlocks a handle it has not locked; by default nothing is.
using MisuseReport = void (*)(const char* what);
void OnMisuse(MisuseReport report);

} // namespace host::handles

#endif

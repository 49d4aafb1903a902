// The host capability check, and the alert that tells the user the host is too old.
#ifndef QUENFIELD_SDK_HOSTALERTS_H
#define QUENFIELD_SDK_HOSTALERTS_H

#include "ExportInterface.h"

// True when the host offers advanceState.
bool HostAdvanceStateAvailable(ExportAdvanceStateProc proc);
// The same, and when it is false the user is told that the host is too old to deliver pixels.
bool WarnHostAdvanceStateAvailable(ExportAdvanceStateProc proc);

#endif

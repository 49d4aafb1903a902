// The phases of one export session, one per selector, and what they check and set up.
#ifndef QUENFIELD_EXPORTPHASES_H
#define QUENFIELD_EXPORTPHASES_H

#include "DataGlobal.h"
#include "ExportInterface.h"

#include <cstdint>

// Keeps the first non-zero code of a call in the host's result; true when this code is 0.
Boolean CheckStore(SGlobals* globals, int16_t code);

void DispatchExportPrepare(SGlobals* globals);
void DispatchExportStart(SGlobals* globals);
void DispatchExportContinue(SGlobals* globals);
void DispatchExportFinish(SGlobals* globals);

int16_t CheckEnvironment(const ExportRecord* record);
int16_t CheckMode(const ExportRecord* record);
int16_t SetExportFile(SGlobals* globals);
int16_t SetExportFinished(SGlobals* globals);

#endif

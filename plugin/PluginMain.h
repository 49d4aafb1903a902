// Selector dispatch and the export session phases.
#ifndef QUENFIELD_PLUGINMAIN_H
#define QUENFIELD_PLUGINMAIN_H

#include "DataGlobal.h"
#include "ExportInterface.h"

#include <cstdint>

void MainProc(int16_t selector, ExportRecord* record, intptr_t* data, int16_t* result);
int16_t Allocate(SGlobals** globals, ExportRecord* record, intptr_t* data, int16_t* result);
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

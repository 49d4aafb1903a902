// Selector dispatch: every call of the exported entry runs here, with the session globals in hand.
#ifndef QUENFIELD_PLUGINMAIN_H
#define QUENFIELD_PLUGINMAIN_H

#include "DataGlobal.h"
#include "ExportInterface.h"

#include <cstdint>

void MainProc(int16_t selector, ExportRecord* record, intptr_t* data, int16_t* result);
int16_t Allocate(SGlobals** globals, ExportRecord* record, intptr_t* data, int16_t* result);

#endif

// Selector dispatch: every call of the exported entry runs here, with the session globals in hand.
#ifndef QUENFIELD_PLUGINMAIN_H
#define QUENFIELD_PLUGINMAIN_H

#include "DataGlobal.h"
#include "ExportInterface.h"

#include <cstdint>

// The parameter block is an AboutRecord for exportSelectorAbout and an ExportRecord for every other selector.
void MainProc(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result);
int16_t Allocate(SGlobals** globals, ExportRecord* record, intptr_t* data, int16_t* result);

#endif

// The session globals, kept by the host as a handle between calls.
#ifndef QUENFIELD_DATAGLOBAL_H
#define QUENFIELD_DATAGLOBAL_H

#include "ExportInterface.h"

#include <cstdint>

class IConvertBuffer;

// The order of the first two fields is fixed: AllocateGlobals writes them by position.
struct SGlobals {
    int16_t* pResult;            // this call's result field
    ExportRecord* pExportRecord; // this call's parameter block
    int32_t iFile;               // the open export file, -1 when none
    IConvertBuffer* pBuffer;     // the running export's conversion buffer, null when none
    char aPath[256];             // the export file's path, all zero until one is built
};

// Initialises a freshly allocated SGlobals block.
void CB_InitGlobals(void* block);

#endif

// The session globals, kept by the host as a handle between calls.
#ifndef QUENFIELD_DATAGLOBAL_H
#define QUENFIELD_DATAGLOBAL_H

#include "ExportInterface.h"
#include "platform/Path.h"
#include "sdk/HostUtilities.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

class IConvertBuffer;

struct SGlobals {
    SGlobalsHead rHead;          // set by AllocateGlobals on every call
    int32_t iFile;               // the open export file, -1 when none
    IConvertBuffer* pBuffer;     // lent by ExportImage while it runs, null otherwise
    char aPath[uiPATH_CAPACITY]; // the export file's path, all zero until one is built
};

// AllocateGlobals writes the head at the start of the block, and the host keeps the block as raw memory.
static_assert(std::is_standard_layout_v<SGlobals> && offsetof(SGlobals, rHead) == 0,
              "the globals block must begin with its head");
static_assert(std::is_trivially_copyable_v<SGlobals>, "the globals block lives in a host handle");

// Initialises a freshly allocated SGlobals block.
void CB_InitGlobals(void* block);

#endif

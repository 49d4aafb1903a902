// The resources compiled into the module (generated from plugin/resources/QuenfieldExport.rsrc.txt), and
// the platform's internal access to them.
#ifndef QUENFIELD_PLATFORM_LINUX_RESOURCETABLE_H
#define QUENFIELD_PLATFORM_LINUX_RESOURCETABLE_H

#include "platform/Toolbox.h"

struct SResourceEntry {
    ResType uiType;
    int16_t sId;
    const void* pData;
    uint32_t uiSize;
};

extern const SResourceEntry aRESOURCES[];
extern const unsigned int uiRESOURCE_COUNT;

// The resource's bytes as they stand: the loaded block when it is loaded (it may have been changed), else
// the compiled data. Null when there is no such resource or it is smaller than expectedSize.
const void* PeekResource(ResType type, int16_t id, uint32_t expectedSize);

#endif

// Inside the Linux platform layer: the bytes of a resource as they stand.
#ifndef QUENFIELD_PLATFORM_LINUX_RESOURCES_H
#define QUENFIELD_PLATFORM_LINUX_RESOURCES_H

#include "platform/Toolbox.h"

// The loaded block when the resource is loaded (it may have been changed), else the compiled data. Null when
// there is no such resource or it is smaller than expectedSize.
const void* PeekResource(ResType type, int16_t id, uint32_t expectedSize);

#endif

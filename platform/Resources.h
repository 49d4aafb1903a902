// Resources compiled into the module. A resource is loaded once and shared until ReleaseResource; changes
// to the loaded block (such as centring a template) are what GetNewDialog and CautionAlert then use.
#ifndef QUENFIELD_PLATFORM_RESOURCES_H
#define QUENFIELD_PLATFORM_RESOURCES_H

#include "platform/Toolbox.h"

// Null when there is no such resource.
Handle GetResource(ResType type, int16_t id);
StringHandle GetString(int16_t id);
// Resources are never purged here, so there is nothing to protect; kept so that callers read as they must
// on a platform that purges.
void HNoPurge(Handle resource);
void HPurge(Handle resource);
// Unloads the resource; null is ignored.
void ReleaseResource(Handle resource);

// For tests: resources loaded and not yet released.
unsigned int CountLoadedResources();

#endif

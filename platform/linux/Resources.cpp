// Resources served from the table compiled into the module. A loaded resource is a copy in a handle of our
// own, so that changes to it (centring a template) last until it is released, as on a resource fork.
#include "platform/Resources.h"
#include "platform/linux/Resources.h"

#include "platform/Handles.h"
#include "platform/linux/ResourceTable.h"

#include <cstring>
#include <vector>

namespace {

struct SLoadedResource {
    ResType uiType;
    int16_t sId;
    Handle pHandle;
};

std::vector<SLoadedResource>& Loaded() {
    static std::vector<SLoadedResource> loaded;
    return loaded;
}

const SResourceEntry* FindEntry(ResType type, int16_t id) {
    for (unsigned int i = 0; i < uiRESOURCE_COUNT; ++i) {
        if (aRESOURCES[i].uiType == type && aRESOURCES[i].sId == id) {
            return &aRESOURCES[i];
        }
    }
    return nullptr;
}

SLoadedResource* FindLoaded(ResType type, int16_t id) {
    for (SLoadedResource& resource : Loaded()) {
        if (resource.uiType == type && resource.sId == id) {
            return &resource;
        }
    }
    return nullptr;
}

} // namespace

const void* PeekResource(ResType type, int16_t id, uint32_t expectedSize) {
    const SResourceEntry* entry = FindEntry(type, id);
    if (entry == nullptr || entry->uiSize < expectedSize) {
        return nullptr;
    }
    const SLoadedResource* loaded = FindLoaded(type, id);
    return loaded != nullptr ? HandleAddress(loaded->pHandle) : entry->pData;
}

Handle GetResource(ResType type, int16_t id) {
    if (SLoadedResource* loaded = FindLoaded(type, id)) {
        return loaded->pHandle;
    }
    const SResourceEntry* entry = FindEntry(type, id);
    if (entry == nullptr) {
        return nullptr;
    }
    Handle h = NewHandle(static_cast<int32_t>(entry->uiSize));
    if (h == nullptr) {
        return nullptr;
    }
    std::memcpy(HandleAddress(h), entry->pData, entry->uiSize);
    Loaded().push_back({type, id, h});
    return h;
}

StringHandle GetString(int16_t id) {
    return GetResource(uiRESOURCE_STRING, id);
}

void HNoPurge(Handle) {}

void HPurge(Handle) {}

void ReleaseResource(Handle resource) {
    std::vector<SLoadedResource>& loaded = Loaded();
    for (auto it = loaded.begin(); it != loaded.end(); ++it) {
        if (it->pHandle == resource) {
            DisposeHandle(resource);
            loaded.erase(it);
            return;
        }
    }
}

unsigned int CountLoadedResources() {
    return static_cast<unsigned int>(Loaded().size());
}

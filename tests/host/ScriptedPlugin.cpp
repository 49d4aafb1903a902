// A plug-in module whose every call is forwarded to a routine the test installs: the test plays the plug-in,
// so that the host can be given requests the real plug-in never makes.
#include "ExportInterface.h"

namespace {
ExportPluginEntry script = nullptr;
}

extern "C" __attribute__((visibility("default"))) void SetScript(ExportPluginEntry entry) {
    script = entry;
}

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* block,
                                                                  intptr_t* data, int16_t* result) {
    if (script != nullptr) {
        script(selector, block, data, result);
    }
}

// Deliberately broken plug-ins for the validator's own tests: each is a module of its own that loads the
// real plug-in and passes every call on to it, misbehaving in one way of its own.
#ifndef QUENFIELD_TESTS_BROKEN_REALPLUGIN_H
#define QUENFIELD_TESTS_BROKEN_REALPLUGIN_H

#include "ExportInterface.h"

#include <dlfcn.h>

#define BROKEN_ENTRY extern "C" __attribute__((visibility("default"))) void

namespace broken {

// The real module, loaded on first use and unloaded with this one.
class RealPlugin {
public:
    static ExportPluginEntry Entry() {
        static RealPlugin real;
        return real.entry;
    }

private:
    RealPlugin()
        : module(dlopen(QUENFIELD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)),
          entry(module != nullptr ? reinterpret_cast<ExportPluginEntry>(dlsym(module, exportPluginEntryName))
                                  : nullptr) {}
    ~RealPlugin() {
        if (module != nullptr) {
            dlclose(module);
        }
    }

    void* module;
    ExportPluginEntry entry;
};

inline void CallReal(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    if (ExportPluginEntry entry = RealPlugin::Entry()) {
        entry(selector, block, data, result);
    }
}

} // namespace broken

#endif

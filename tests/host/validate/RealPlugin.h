// Deliberately broken plug-ins for the validator's own tests: each is a module of its own that loads the
// real plug-in and passes every call on to it, misbehaving in one way of its own.
#ifndef QUENFIELD_TESTS_BROKEN_REALPLUGIN_H
#define QUENFIELD_TESTS_BROKEN_REALPLUGIN_H

#include "ExportInterface.h"

#include <dlfcn.h>

#define BROKEN_ENTRY extern "C" __attribute__((visibility("default"))) void

namespace broken {

// The real module, loaded once and unloaded with this one.
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

// Loaded with this module rather than on first use: a check may hide part of the file system (a private /tmp)
// between loading the plug-in and calling it, and the real module may live there.
inline const ExportPluginEntry preloadedEntry = RealPlugin::Entry();

inline void CallReal(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    if (ExportPluginEntry entry = RealPlugin::Entry()) {
        entry(selector, block, data, result);
    }
}

} // namespace broken

#endif

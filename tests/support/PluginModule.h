// The plug-in module of this build, loaded through the host library as every host loads it.
#ifndef QUENFIELD_TESTS_PLUGINMODULE_H
#define QUENFIELD_TESTS_PLUGINMODULE_H

#include "PluginLibrary.h"

class PluginModule : public host::PluginLibrary {
public:
    PluginModule() : PluginLibrary(QUENFIELD_MODULE_PATH) {}
};

#endif

// The plug-in module loaded as a host loads it: by absolute path, every symbol bound at once.
#ifndef QUENFIELD_TESTS_PLUGINMODULE_H
#define QUENFIELD_TESTS_PLUGINMODULE_H

#include "ExportInterface.h"

#include <string>

class PluginModule {
public:
    // Throws std::runtime_error naming the path and dlerror() when the module or its entry cannot be had.
    explicit PluginModule(const std::string& path = QUENFIELD_MODULE_PATH);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    ExportPluginEntry entry() const { return entry_; }
    void call(int16_t selector, void* block, intptr_t* data, int16_t* result) const {
        entry_(selector, block, data, result);
    }

private:
    void* handle_ = nullptr;
    ExportPluginEntry entry_ = nullptr;
};

#endif

#include "PluginModule.h"

#include <dlfcn.h>
#include <stdexcept>

PluginModule::PluginModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load " + path + ": " + dlerror());
    }
    entry_ = reinterpret_cast<ExportPluginEntry>(dlsym(handle_, exportPluginEntryName));
    if (entry_ == nullptr) {
        const std::string error = dlerror();
        dlclose(handle_);
        throw std::runtime_error(path + " has no " exportPluginEntryName ": " + error);
    }
}

PluginModule::~PluginModule() {
    dlclose(handle_);
}

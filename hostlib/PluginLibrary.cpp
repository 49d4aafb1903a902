#include "PluginLibrary.h"

#include "HostHandles.h"

#include <dlfcn.h>

#include <cstdlib>

namespace host {

PluginLibrary::PluginLibrary(const std::filesystem::path& path) : path_(std::filesystem::absolute(path)) {
    module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
        throw PluginLoadError("cannot load the plug-in " + path_.string() + ": " + dlerror());
    }
    dlerror();
    entry_ = reinterpret_cast<ExportPluginEntry>(dlsym(module_, exportPluginEntryName));
    if (entry_ == nullptr) {
        const char* error = dlerror();
        const std::string reason = error != nullptr ? error : "the symbol is null";
        dlclose(module_);
        throw PluginLoadError("the plug-in " + path_.string() +
                              " has no entry point " exportPluginEntryName ": " + reason);
    }
}

PluginLibrary::~PluginLibrary() {
    dlclose(module_);
    // The slot holds whatever the plug-in stored: free it only when it is a handle this host made.
    const Handle globals = reinterpret_cast<Handle>(data_);
    if (handles::IsValid(globals)) {
        handles::Procs()->disposeProc(globals);
    }
}

int16_t PluginLibrary::Call(int16_t selector, void* paramBlock) {
    int16_t result = exportNoErr;
    entry_(selector, paramBlock, &data_, &result);
    return result;
}

std::filesystem::path ChosenModulePath(const std::filesystem::path& installed) {
    const char* chosen = std::getenv("QUENFIELD_EXPORT_MODULE");
    return chosen != nullptr && chosen[0] != '\0' ? std::filesystem::path(chosen) : installed;
}

} // namespace host

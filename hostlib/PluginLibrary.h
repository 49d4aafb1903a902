// An export plug-in module, loaded for as long as this object lives.
#ifndef QUENFIELD_HOST_PLUGINLIBRARY_H
#define QUENFIELD_HOST_PLUGINLIBRARY_H

#include "ExportInterface.h"

#include <filesystem>
#include <stdexcept>

namespace host {

class PluginLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
public:
    // Loads the module by absolute path with every symbol bound at once. Throws PluginLoadError naming the
    // path and what failed (the loader's message, or the missing entry point).
    explicit PluginLibrary(const std::filesystem::path& path);
    // Unloads the module, then frees the globals handle it left in its data slot, if it is one of ours.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // One call of the entry point with the data slot this module keeps; returns the call's result.
    int16_t Call(int16_t selector, void* paramBlock);
    const std::filesystem::path& Path() const { return path_; }
    // One call for a caller that keeps its own data slot and result (a validator, a test host); either may be
    // null, as a broken host passes them.
    void Call(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) const {
        entry_(selector, paramBlock, data, result);
    }
    // The entry point itself, for a caller that hands it on.
    ExportPluginEntry Entry() const { return entry_; }

private:
    std::filesystem::path path_;
    void* module_ = nullptr;
    ExportPluginEntry entry_ = nullptr;
    intptr_t data_ = 0;
};

// The export plug-in module a host loads: $QUENFIELD_EXPORT_MODULE when set and not empty (tests, the build
// tree), else the installed one.
std::filesystem::path ChosenModulePath(const std::filesystem::path& installed);

} // namespace host

#endif

// Broken: stores into the data slot before checking that the host gave one.
#include "RealPlugin.h"

BROKEN_ENTRY PluginMain(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    if (data == nullptr) {
        *static_cast<volatile intptr_t*>(data) = 0;
    }
    broken::CallReal(selector, block, data, result);
}

#include "platform/linux/X11Library.h"

#include <dlfcn.h>
#include <mutex>

namespace {

// The sonames of the runtime packages, so that no development package is needed.
const char pcX11_LIBRARY[] = "libX11.so.6";
const char pcCAIRO_LIBRARY[] = "libcairo.so.2";

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

bool Load(SX11Library& api) {
    // Never closed: unloading Xlib or cairo while a toolkit in the same process uses them is not safe.
    void* x11 = dlopen(pcX11_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    void* cairo = x11 != nullptr ? dlopen(pcCAIRO_LIBRARY, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (cairo == nullptr) {
        return false;
    }
    bool found = true;
#define QUENFIELD_FIND(name) found = Find(x11, #name, api.name) && found;
    QUENFIELD_X11_FUNCTIONS(QUENFIELD_FIND)
#undef QUENFIELD_FIND
#define QUENFIELD_FIND(name) found = Find(cairo, #name, api.name) && found;
    QUENFIELD_CAIRO_FUNCTIONS(QUENFIELD_FIND)
#undef QUENFIELD_FIND
    return found;
}

} // namespace

const SX11Library* LoadX11Library() {
    static SX11Library api;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = Load(api); });
    return loaded ? &api : nullptr;
}

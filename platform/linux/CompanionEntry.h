// The companion application's desktop entry, named by the application identifier and looked up in the XDG
// data folders as they are at each launch (GIO reads them once per process).
#ifndef QUENFIELD_PLATFORM_LINUX_COMPANIONENTRY_H
#define QUENFIELD_PLATFORM_LINUX_COMPANIONENTRY_H

#include <gio/gdesktopappinfo.h>

#include <memory>

namespace _sys {

struct SUnrefObject {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using CDesktopAppInfo = std::unique_ptr<GDesktopAppInfo, SUnrefObject>;

// The first folder's entry wins, also when it is hidden: a hidden entry stands for a deleted one. Null then,
// when no folder has the entry, or when it is no application or its program cannot be found.
CDesktopAppInfo FindCompanion();

} // namespace _sys

#endif

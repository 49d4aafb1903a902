// quenfield-launch ENTRY FILE: starts a desktop entry on a file with GIO's launch, as `gio launch` does, and
// exits 0 only when it started. The plug-in runs it beside itself (LaunchHelper.h) so that the
// host's address space is never copied by GIO's fork, and before the file is complete: everything up to the
// launch itself is done while the plug-in writes, then the launcher waits for the go-ahead (LaunchGoAhead.h)
// and exits 1 without starting anything when it does not come.
//
// GIO announces the launch on the session bus but only queues the message: a process that exits right after
// launching loses it most of the time. The launcher holds the session bus from before the launch, so that GIO
// announces on this same connection, and waits (boundedly) for it to be written out before exiting.
#include "platform/linux/LaunchGoAhead.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

const guint uiFLUSH_LIMIT_MS = 1000;

struct SUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using CObject = std::unique_ptr<T, SUnref>;
struct SFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

// The loop is held by the flush until it completes.
void CB_Flushed(GObject* bus, GAsyncResult* result, gpointer loop) {
    g_dbus_connection_flush_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    g_main_loop_unref(static_cast<GMainLoop*>(loop));
}

gboolean CB_FlushTimedOut(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

// Until everything queued on the connection is written, or the limit has passed.
void Flush(GDBusConnection* bus) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_dbus_connection_flush(bus, nullptr, CB_Flushed, g_main_loop_ref(loop));
    GSource* limit = g_timeout_source_new(uiFLUSH_LIMIT_MS);
    g_source_set_callback(limit, CB_FlushTimedOut, loop, nullptr);
    g_source_attach(limit, nullptr);
    g_main_loop_run(loop);
    g_source_destroy(limit);
    g_source_unref(limit);
    g_main_loop_unref(loop);
}

// The descriptor is closed either way: the companion must not inherit it.
bool AwaitGoAhead() {
    char byte = 0;
    ssize_t got = -1;
    do {
        got = read(iGO_AHEAD_DESCRIPTOR, &byte, 1);
    } while (got < 0 && errno == EINTR);
    close(iGO_AHEAD_DESCRIPTOR);
    return got == 1 && byte == cGO_AHEAD;
}

// The program is spawned without a fork and not waited for: this process ends right after, and its orphan is
// reaped by whoever reaps orphans, so that GIO's intermediate child (a fork of this whole process) is not
// needed. Only the standard streams, on /dev/null, are open here to be inherited.
bool LaunchEntry(GDesktopAppInfo* app, char* uri) {
    GList uris{uri, nullptr, nullptr};
    const GSpawnFlags flags =
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_LEAVE_DESCRIPTORS_OPEN);
    return g_desktop_app_info_launch_uris_as_manager(app, &uris, nullptr, flags, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr) != FALSE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    // Null when there is no session bus: GIO then announces nothing either.
    const CObject<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    const CObject<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(argv[1]));
    const std::unique_ptr<gchar, SFree> uri(g_filename_to_uri(argv[2], nullptr, nullptr));
    if (!AwaitGoAhead()) {
        return 1;
    }
    const bool launched = app && uri && LaunchEntry(app.get(), uri.get());
    if (bus) {
        Flush(bus.get());
    }
    return launched ? 0 : 1;
}

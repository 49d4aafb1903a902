// The companion application on Linux: the desktop entry named by the application identifier, found through
// the XDG data folders and started on the file by GIO.
//
// The launch must leave the host process as it found it:
// - The entry is looked up here, in the XDG folders as they are at each launch (GIO reads them once per
//   process), and loaded with g_desktop_app_info_new_from_filename.
// - On its first use GIO sets up its desktop-file index, which keeps a GLib worker thread and an inotify
//   descriptor for the rest of the process (once, not per launch); with a session bus, GLib's D-Bus thread
//   likewise stays once started. Every thread GLib starts inside this call is started with all signals
//   blocked, so none of them ever takes a signal meant for the host; the companion gets the host thread's
//   own mask back before it starts.
// - g_desktop_app_info_launch_uris_as_manager without G_SPAWN_DO_NOT_REAP_CHILD: GLib starts the companion
//   through an intermediate child that it reaps before returning, so no zombie is left, no child watch or
//   SIGCHLD handler is installed and no main loop is needed. GLib's spawn closes the host's descriptors in
//   the child; the companion's standard input is /dev/null.
// - GIO announces every launch on the session bus when there is one and completes that message from the
//   calling thread's main context. A private context is made the thread's default for the call and run
//   until that completion, so no source is left in the host's context and the bus connection taken for the
//   launch is given back before returning.
#include "System/Launch.h"

#include "Error.h"
#include "System/Helpers.h"
#include "System/Path.h"

#include <gio/gdesktopappinfo.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <pthread.h>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const pcAPP_ID = QUENFIELD_APP_ID;
const char* const pcDESKTOP_SUFFIX = ".desktop";
const char* const pcAPPLICATIONS = "applications";
const char* const pcDEFAULT_DATA_HOME = ".local/share";
const char* const pcDEFAULT_DATA_DIRS = "/usr/local/share:/usr/share";
const guint uiBUS_FLUSH_TIMEOUT_MS = 2000;

struct SUnrefObject {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct SFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using CDesktopAppInfo = std::unique_ptr<GDesktopAppInfo, SUnrefObject>;
using CGString = std::unique_ptr<gchar, SFree>;

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == cPATH_SEPARATOR;
}

// The XDG data folders, most important first, read afresh on every launch; relative ones are ignored.
std::vector<std::string> GetDataFolders() {
    std::vector<std::string> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home != nullptr && *home != '\0') {
        folders.emplace_back(home);
    } else if (const char* user = std::getenv("HOME")) {
        folders.push_back(_hlp::CreatePath(user, pcDEFAULT_DATA_HOME));
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != '\0' ? dirs : pcDEFAULT_DATA_DIRS);
    for (std::string folder; std::getline(list, folder, ':');) {
        folders.push_back(folder);
    }
    std::vector<std::string> absolute;
    for (const std::string& folder : folders) {
        if (IsAbsolute(folder)) {
            absolute.push_back(folder);
        }
    }
    return absolute;
}

// The first folder's entry wins, also when it is hidden: a hidden entry stands for a deleted one.
CDesktopAppInfo FindCompanion() {
    const std::string id = std::string(pcAPP_ID) + pcDESKTOP_SUFFIX;
    for (const std::string& folder : GetDataFolders()) {
        const std::string entry = _hlp::CreatePath(_hlp::CreatePath(folder, pcAPPLICATIONS), id);
        struct stat info {};
        if (stat(entry.c_str(), &info) != 0) {
            continue;
        }
        // Null for an entry that is no application or whose program cannot be found.
        CDesktopAppInfo app(g_desktop_app_info_new_from_filename(entry.c_str()));
        if (app && g_desktop_app_info_get_is_hidden(app.get())) {
            app.reset();
        }
        return app;
    }
    return CDesktopAppInfo();
}

// Blocks every signal but the synchronous faults in the calling thread for its lifetime; threads started
// meanwhile inherit the mask. A fault is always delivered to the thread that caused it.
class CSignalsBlocked {
public:
    CSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
            sigdelset(&all, fault);
        }
        pthread_sigmask(SIG_SETMASK, &all, &aOld);
    }
    ~CSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &aOld, nullptr); }
    CSignalsBlocked(const CSignalsBlocked&) = delete;
    CSignalsBlocked& operator=(const CSignalsBlocked&) = delete;

    sigset_t* Old() { return &aOld; }

private:
    sigset_t aOld;
};

// Runs in the companion's process between fork and exec: only async-signal-safe calls.
void CB_RestoreSignalMask(gpointer mask) {
    sigprocmask(SIG_SETMASK, static_cast<const sigset_t*>(mask), nullptr);
}

gboolean CB_SetFlag(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

// Runs the private context until GIO's flush of the launch announcement has completed in it, or the guard
// has expired; nothing else is ever attached to that context.
void AwaitBusFlush(GMainContext* context) {
    bool expired = false;
    GSource* guard = g_timeout_source_new(uiBUS_FLUSH_TIMEOUT_MS);
    g_source_set_callback(guard, CB_SetFlag, &expired, nullptr);
    g_source_attach(guard, context);
    g_main_context_iteration(context, TRUE);
    while (!expired && g_main_context_iteration(context, FALSE)) {
    }
    g_source_destroy(guard);
    g_source_unref(guard);
}

bool Launch(GDesktopAppInfo* app, const gchar* uri, sigset_t* hostMask) {
    GList uris = {const_cast<gchar*>(uri), nullptr, nullptr};
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    // The same shared connection the launch takes, if there is a session bus at all.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    const gboolean launched = g_desktop_app_info_launch_uris_as_manager(
        app, &uris, nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDIN_FROM_DEV_NULL),
        CB_RestoreSignalMask, hostMask, nullptr, nullptr, nullptr);
    if (bus != nullptr) {
        AwaitBusFlush(context);
        g_object_unref(bus);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return launched;
}

} // namespace

namespace _sys {

int16_t StartApplication(const std::string& path) {
    CSignalsBlocked blocked;
    const CDesktopAppInfo app = FindCompanion();
    // Null for a relative or empty path: the companion is only ever given an absolute one.
    const CGString uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!app || !uri || !Launch(app.get(), uri.get(), blocked.Old())) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    return eERROR_NONE;
}

} // namespace _sys

// The companion application on Linux: its desktop entry (CompanionEntry.h) started on the file by the
// plug-in's launcher program (LaunchHelper.h), which uses GIO's launch.
//
// The launch must leave the host process as it found it, may never hold it up, and costs the same whatever
// memory the host holds:
// - The lookups run on a thread of the launch's own, started with every signal blocked, so that no thread
//   GLib starts from it (its worker, its D-Bus thread, which stay with the process) ever takes a signal meant
//   for the host. The host's thread has its signals blocked only while it starts that thread; it then waits
//   with its own mask, so SIGINT and SIGTERM act on the host as anywhere else.
// - The lookups have a time limit, 5 s. The session bus must answer within four fifths of it (SessionBus.h),
//   else the launch fails with -30901: a bus that does not answer here would not answer the launcher either.
//   The host's thread waits for the lookups at most the whole limit, and for the start that follows them a
//   little longer; a launcher still running by then is killed. A launch thread still busy when the host stops
//   waiting (a lookup that cannot be cancelled) is left to end on its own: it starts no companion any more,
//   and the module stays loaded for the rest of the process, so that the thread never returns into unloaded
//   code.
// - The launcher is started without copying the host's address space, reaped before the launch returns, and
//   starts the companion through a child of its own that it reaps: no zombie is left, no child watch or
//   SIGCHLD handler is installed and no main loop is needed. The companion gets the host thread's own signal
//   mask, no descriptor of the host's, and standard input, output and error on /dev/null, as a desktop
//   starts its applications; GIO announces the launch on the session bus when there is one, and the launcher
//   exits only once the announcement is written.
// - The bus connection taken for the check is closed before returning (unless the host holds it too).
#include "platform/Launch.h"

#include "platform/Error.h"
#include "platform/linux/CompanionEntry.h"
#include "platform/linux/LaunchHelper.h"
#include "platform/linux/SessionBus.h"

#include <gio/gdesktopappinfo.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

using std::chrono::milliseconds;
using CClock = std::chrono::steady_clock;

const milliseconds rLAUNCH_LIMIT(5000);
const milliseconds rSTART_LIMIT(2000);
const guint uiBUS_RELEASE_TIMEOUT_MS = 1000;
const guint uiRELEASE_TICK_MS = 5;

struct SFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using CGString = std::unique_ptr<gchar, SFree>;

// Shared by the host's thread and the launch thread; the one that is done with it last frees it.
struct SLaunch {
    std::string strPath;
    sigset_t rHostMask;                 // the host thread's mask, for the companion
    CClock::time_point rLookupDeadline; // the session bus answers by then or not at all
    CClock::time_point rStartDeadline;  // the launcher has ended by then or is killed
    std::mutex rLock;                   // guards the fields below
    std::condition_variable rChanged;
    int16_t sResult = eERROR_COMPANION_NOT_LAUNCHED;
    bool bDone = false;
    bool bAbandoned = false; // the host's thread has stopped waiting: start nothing
    bool bStarting = false;  // the companion is being started: the host's thread waits for the outcome
};

// The launch thread's default main context while it lasts.
class CThreadContext {
public:
    CThreadContext() : pContext(g_main_context_new()) { g_main_context_push_thread_default(pContext); }
    ~CThreadContext() {
        g_main_context_pop_thread_default(pContext);
        g_main_context_unref(pContext);
    }
    CThreadContext(const CThreadContext&) = delete;
    CThreadContext& operator=(const CThreadContext&) = delete;

    GMainContext* Get() const { return pContext; }

private:
    GMainContext* pContext;
};

gboolean CB_SetFlag(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

gboolean CB_Tick(gpointer) {
    return G_SOURCE_CONTINUE;
}

bool IsGone(GWeakRef* reference) {
    GObject* object = static_cast<GObject*>(g_weak_ref_get(reference));
    if (object != nullptr) {
        g_object_unref(object);
    }
    return object == nullptr;
}

// Lets go of the process's shared bus connection, which closes once its last holder has let go; its last
// reference may go on one of GLib's threads: the context runs, looking again at every tick, until the
// connection is gone or the guard has expired (a host that holds the connection itself keeps it).
void ReleaseBus(GMainContext* context, GDBusConnection* bus) {
    GWeakRef reference;
    g_weak_ref_init(&reference, bus);
    g_object_unref(bus);
    bool expired = false;
    GSource* guard = g_timeout_source_new(uiBUS_RELEASE_TIMEOUT_MS);
    g_source_set_callback(guard, CB_SetFlag, &expired, nullptr);
    g_source_attach(guard, context);
    GSource* tick = g_timeout_source_new(uiRELEASE_TICK_MS);
    g_source_set_callback(tick, CB_Tick, nullptr, nullptr);
    g_source_attach(tick, context);
    while (!expired && !IsGone(&reference)) {
        g_main_context_iteration(context, TRUE);
    }
    for (GSource* source : {guard, tick}) {
        g_source_destroy(source);
        g_source_unref(source);
    }
    g_weak_ref_clear(&reference);
}

bool BeginStart(SLaunch& launch) {
    std::lock_guard<std::mutex> lock(launch.rLock);
    launch.bStarting = !launch.bAbandoned;
    return launch.bStarting;
}

int16_t Launch(SLaunch& launch) {
    const _sys::CDesktopAppInfo app = _sys::FindCompanion();
    // Null for a relative or empty path: the companion is only ever given an absolute one.
    const CGString uri(g_filename_to_uri(launch.strPath.c_str(), nullptr, nullptr));
    if (!app || !uri) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    const CThreadContext context;
    _sys::CSessionBus bus(context.Get(), launch.rLookupDeadline);
    if (bus.Expired() || !BeginStart(launch)) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    if (bus.Connection() != nullptr) {
        ReleaseBus(context.Get(), bus.Take());
    }
    const bool launched =
        _sys::RunLaunchHelper(g_desktop_app_info_get_filename(app.get()), launch.strPath.c_str(),
                              launch.rHostMask, launch.rStartDeadline);
    return launched ? eERROR_NONE : eERROR_COMPANION_NOT_LAUNCHED;
}

// Nothing may leave a thread's function: an exception there would end the host.
int16_t LaunchCaught(SLaunch& launch) noexcept {
    try {
        return Launch(launch);
    } catch (...) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
}

void CB_RunLaunch(const std::shared_ptr<SLaunch>& launch) {
    const int16_t result = LaunchCaught(*launch);
    std::lock_guard<std::mutex> lock(launch->rLock);
    launch->sResult = result;
    launch->bDone = true;
    launch->rChanged.notify_all();
}

// The host thread's mask is kept for the companion and given back as soon as the thread has started, which
// inherits every signal blocked but the synchronous faults (always delivered to the thread that caused them).
bool StartLaunchThread(std::thread& thread, const std::shared_ptr<SLaunch>& launch) {
    sigset_t all;
    sigfillset(&all);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        sigdelset(&all, fault);
    }
    pthread_sigmask(SIG_SETMASK, &all, &launch->rHostMask);
    bool started = true;
    try {
        thread = std::thread(CB_RunLaunch, launch);
    } catch (const std::exception&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &launch->rHostMask, nullptr);
    return started;
}

// A launch thread left running returns into this module's code: the module must outlive it.
void KeepModuleLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&KeepModuleLoaded), &info) != 0 && info.dli_fname != nullptr) {
        dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

int16_t AwaitLaunch(std::thread& thread, SLaunch& launch, CClock::time_point deadline) {
    std::unique_lock<std::mutex> lock(launch.rLock);
    const auto done = [&] { return launch.bDone; };
    // A start once begun (the launcher, its reaped child, its announcement) gets its own short time, and the
    // launcher is killed within it.
    if (!launch.rChanged.wait_until(lock, deadline, done) &&
        (!launch.bStarting || !launch.rChanged.wait_until(lock, deadline + rSTART_LIMIT, done))) {
        launch.bAbandoned = true;
        lock.unlock();
        thread.detach();
        KeepModuleLoaded();
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    const int16_t result = launch.sResult;
    lock.unlock();
    thread.join();
    return result;
}

} // namespace

namespace _sys {

int16_t StartApplication(const std::string& path) {
    return StartApplication(path, rLAUNCH_LIMIT);
}

int16_t StartApplication(const std::string& path, milliseconds limit) {
    const CClock::time_point start = CClock::now();
    const milliseconds bounded = std::min(limit, rLAUNCH_LIMIT);
    auto launch = std::make_shared<SLaunch>();
    launch->strPath = path;
    launch->rLookupDeadline = start + bounded * 4 / 5;
    launch->rStartDeadline = start + bounded + rSTART_LIMIT / 2;
    std::thread thread;
    if (!StartLaunchThread(thread, launch)) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    return AwaitLaunch(thread, *launch, start + bounded);
}

} // namespace _sys

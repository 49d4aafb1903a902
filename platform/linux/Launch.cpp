// The companion application on Linux: its desktop entry (CompanionEntry.h) started on the file by the
// plug-in's launcher program (LaunchHelper.h), which uses GIO's launch.
//
// The launch must leave the host process as it found it, may never hold it up, and costs the same whatever
// memory the host holds; what it costs is spent while the file is written:
// - The lookups, and the launcher's start up to the launch itself, run on a thread of the launch's own,
//   begun as the export begins and started with every signal blocked, so that no thread GLib starts from it
//   (its worker, its D-Bus thread, which stay with the process) ever takes a signal meant for the host. The
//   host's thread has its signals blocked only while it starts that thread; it then waits with its own mask,
//   so SIGINT and SIGTERM act on the host as anywhere else.
// - The lookups have a time limit, 5 s from the beginning. The session bus must answer within four fifths of
//   it (SessionBus.h), else the launch fails with -30901: a bus that does not answer here would not answer
//   the launcher either. Once the file is published, the host's thread waits for the lookups at most until
//   the limit has passed, and for the start that follows them a little longer, counted from then at the
//   earliest, so that a long write never fails a launch; a launcher still running by then is killed. A
//   launch thread still busy when the host stops waiting (a lookup that cannot be cancelled) is left to end
//   on its own: it starts no companion any more, and the module stays loaded for the rest of the process,
//   so that the thread never returns into unloaded code. An export that ends without its file waits for the
//   lookups as long (they take milliseconds but where the bus or the disk hangs), then stops the launch the
//   same way: a launcher already waiting is ended and reaped before the export returns.
// - The launcher is started without copying the host's address space and reaped before the launch returns;
//   it leaves the companion orphaned as it ends: no zombie is left, no child watch or SIGCHLD handler is
//   installed and no main loop is needed. The companion gets the host thread's own signal
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

namespace _sys {

// Shared by the host's thread and the launch thread; the one that is done with it last frees it.
struct SLaunch {
    std::string strPath;
    sigset_t rHostMask; // the host thread's mask, for the companion
    std::chrono::steady_clock::time_point rBegun;
    std::chrono::milliseconds rLimit;
    std::chrono::steady_clock::time_point rLookupDeadline; // the session bus answers by then or not at all
    std::mutex rLock;                                      // guards the fields below
    std::condition_variable rChanged;
    std::chrono::steady_clock::time_point rStartDeadline; // the launcher has ended by then or is killed
    int16_t sResult = eERROR_COMPANION_NOT_LAUNCHED;
    bool bDone = false;
    bool bAbandoned = false; // no file is coming, or the host's thread has stopped waiting: start nothing
    bool bPrepared = false;  // past the lookups: whatever follows is short once the go-ahead is given
    bool bGo = false;        // the file is published
};

} // namespace _sys

namespace {

using _sys::SLaunch;
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

bool BeginPreparing(SLaunch& launch) {
    std::lock_guard<std::mutex> lock(launch.rLock);
    launch.bPrepared = !launch.bAbandoned;
    launch.rChanged.notify_all();
    return launch.bPrepared;
}

// Until the file is published, however long it takes to write; false when the export ended without it.
bool AwaitGoAhead(SLaunch& launch, CClock::time_point& deadline) {
    std::unique_lock<std::mutex> lock(launch.rLock);
    launch.rChanged.wait(lock, [&] { return launch.bGo || launch.bAbandoned; });
    deadline = launch.rStartDeadline;
    return !launch.bAbandoned;
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
    if (bus.Expired() || !BeginPreparing(launch)) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    if (bus.Connection() != nullptr) {
        ReleaseBus(context.Get(), bus.Take());
    }
    _sys::CLauncher launcher(g_desktop_app_info_get_filename(app.get()), launch.strPath.c_str(),
                             launch.rHostMask);
    CClock::time_point deadline;
    if (!launcher.Running() || !AwaitGoAhead(launch, deadline)) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    return launcher.Go(deadline) ? eERROR_NONE : eERROR_COMPANION_NOT_LAUNCHED;
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
void StartLaunchThread(std::thread& thread, const std::shared_ptr<SLaunch>& launch) {
    sigset_t all;
    sigfillset(&all);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        sigdelset(&all, fault);
    }
    pthread_sigmask(SIG_SETMASK, &all, &launch->rHostMask);
    try {
        thread = std::thread(CB_RunLaunch, launch);
    } catch (const std::exception&) {
        // Not joinable: the start fails.
    }
    pthread_sigmask(SIG_SETMASK, &launch->rHostMask, nullptr);
}

// A launch thread left running returns into this module's code: the module must outlive it.
void KeepModuleLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&KeepModuleLoaded), &info) != 0 && info.dli_fname != nullptr) {
        dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

// The launch thread then starts nothing. It is waited for while it may still end by the deadline, which a
// thread past the lookups soon does; one that does not (a lookup that cannot be cancelled) is left to end on
// its own.
void Abandon(std::thread& thread, SLaunch& launch, std::unique_lock<std::mutex>& lock,
             CClock::time_point deadline) {
    launch.bAbandoned = true;
    launch.rChanged.notify_all();
    const bool ending = launch.rChanged.wait_until(
        lock, deadline, [&] { return launch.bDone || (launch.bPrepared && !launch.bGo); });
    lock.unlock();
    if (ending) {
        thread.join();
    } else {
        thread.detach();
        KeepModuleLoaded();
    }
}

} // namespace

namespace _sys {

CCompanionStart::CCompanionStart(const std::string& path) : CCompanionStart(path, rLAUNCH_LIMIT) {}

CCompanionStart::CCompanionStart(const std::string& path, milliseconds limit)
    : pLaunch(std::make_shared<SLaunch>()) {
    pLaunch->strPath = path;
    pLaunch->rBegun = CClock::now();
    pLaunch->rLimit = std::min(limit, rLAUNCH_LIMIT);
    pLaunch->rLookupDeadline = pLaunch->rBegun + pLaunch->rLimit * 4 / 5;
    StartLaunchThread(rThread, pLaunch);
}

CCompanionStart::~CCompanionStart() {
    if (rThread.joinable()) {
        std::unique_lock<std::mutex> lock(pLaunch->rLock);
        Abandon(rThread, *pLaunch, lock, pLaunch->rBegun + pLaunch->rLimit);
    }
}

// A start once prepared (the launcher's launch and its announcement) gets its own short time, counted from
// the go-ahead at the earliest, and the launcher is killed within it.
int16_t CCompanionStart::Start() {
    if (!rThread.joinable()) {
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    SLaunch& launch = *pLaunch;
    std::unique_lock<std::mutex> lock(launch.rLock);
    const CClock::time_point lookupEnd = launch.rBegun + launch.rLimit;
    launch.rStartDeadline = std::max(lookupEnd, CClock::now() + launch.rLimit / 5) + rSTART_LIMIT / 2;
    launch.bGo = true;
    launch.rChanged.notify_all();
    const auto done = [&] { return launch.bDone; };
    if (!launch.rChanged.wait_until(lock, lookupEnd, [&] { return launch.bDone || launch.bPrepared; }) ||
        !launch.rChanged.wait_until(lock, launch.rStartDeadline + rSTART_LIMIT / 2, done)) {
        Abandon(rThread, launch, lock, CClock::now());
        return eERROR_COMPANION_NOT_LAUNCHED;
    }
    const int16_t result = launch.sResult;
    lock.unlock();
    rThread.join();
    return result;
}

int16_t StartApplication(const std::string& path) {
    return CCompanionStart(path).Start();
}

int16_t StartApplication(const std::string& path, milliseconds limit) {
    return CCompanionStart(path, limit).Start();
}

} // namespace _sys

#include "SessionBus.h"

namespace {

using std::chrono::milliseconds;

// How long a cancelled attempt is given to come back.
const milliseconds aCANCEL_GRACE(500);

struct SAttempt {
    GDBusConnection* pConnection;
    bool bAnswered;
};

void CB_Connected(GObject*, GAsyncResult* result, gpointer attempt) {
    auto* pending = static_cast<SAttempt*>(attempt);
    pending->pConnection = g_bus_get_finish(result, nullptr);
    pending->bAnswered = true;
}

gboolean CB_SetFlag(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

// Runs the context until flag is set or limit has passed; the flag's value at the end.
bool RunContextUntil(GMainContext* context, const bool& flag, milliseconds limit) {
    bool expired = false;
    GSource* guard = g_timeout_source_new(static_cast<guint>(limit.count() > 0 ? limit.count() : 0));
    g_source_set_callback(guard, CB_SetFlag, &expired, nullptr);
    g_source_attach(guard, context);
    while (!flag && !expired) {
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(guard);
    g_source_unref(guard);
    return flag;
}

} // namespace

namespace _sys {

CSessionBus::CSessionBus(GMainContext* context, std::chrono::steady_clock::time_point deadline)
    : pConnection(nullptr), bExpired(false) {
    // On the heap: a cancelled attempt that never comes back still owns it.
    auto* attempt = new SAttempt{nullptr, false};
    GCancellable* cancellable = g_cancellable_new();
    g_bus_get(G_BUS_TYPE_SESSION, cancellable, CB_Connected, attempt);
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!RunContextUntil(context, attempt->bAnswered, left)) {
        bExpired = true;
        g_cancellable_cancel(cancellable);
        RunContextUntil(context, attempt->bAnswered, aCANCEL_GRACE);
    }
    g_object_unref(cancellable);
    if (!attempt->bAnswered) {
        return; // leaked on purpose: the attempt may still answer into it, though nothing runs the context
                // again
    }
    if (bExpired && attempt->pConnection != nullptr) {
        g_object_unref(attempt->pConnection); // connected in the last moment: too late all the same
    } else {
        pConnection = attempt->pConnection;
    }
    delete attempt;
}

CSessionBus::~CSessionBus() {
    if (pConnection != nullptr) {
        g_object_unref(pConnection);
    }
}

} // namespace _sys

#include "platform/linux/SessionBus.h"

namespace {

using std::chrono::milliseconds;
using CClock = std::chrono::steady_clock;

// How long a cancelled request is given to come back, and the pause before asking again.
const milliseconds rCANCEL_GRACE(500);
const milliseconds rRETRY_PAUSE(20);

// One request for the shared connection; on the heap, since a cancelled one that never comes back keeps it.
struct SRequest {
    GDBusConnection* pConnection;
    GError* pError;
    bool bAnswered;
};

void CB_Connected(GObject*, GAsyncResult* result, gpointer request) {
    auto* pending = static_cast<SRequest*>(request);
    pending->pConnection = g_bus_get_finish(result, &pending->pError);
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

milliseconds Left(CClock::time_point deadline) {
    return std::chrono::duration_cast<milliseconds>(deadline - CClock::now());
}

void Free(SRequest* request) {
    if (request->pError != nullptr) {
        g_error_free(request->pError);
    }
    delete request;
}

} // namespace

namespace _sys {

CSessionBus::CSessionBus(GMainContext* context, CClock::time_point deadline)
    : pConnection(nullptr), bExpired(false) {
    GCancellable* cancellable = g_cancellable_new();
    for (;;) {
        auto* request = new SRequest{nullptr, nullptr, false};
        g_bus_get(G_BUS_TYPE_SESSION, cancellable, CB_Connected, request);
        if (!RunContextUntil(context, request->bAnswered, Left(deadline))) {
            bExpired = true;
            g_cancellable_cancel(cancellable);
            if (RunContextUntil(context, request->bAnswered, rCANCEL_GRACE)) {
                if (request->pConnection != nullptr) {
                    g_object_unref(
                        request->pConnection); // connected in the last moment: too late all the same
                }
                Free(request);
            } // else leaked on purpose: nothing runs the context again, so nothing ever answers into it
            break;
        }
        // A request of an earlier launch, cancelled but not yet come back, still holds the shared connection,
        // and its failure is handed on to everyone who asks meanwhile: ask again once it is gone. Any other
        // failure means there is no bus to be had, and GIO's own request fails as fast.
        const bool stale = g_error_matches(request->pError, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        pConnection = request->pConnection;
        Free(request);
        if (!stale) {
            break;
        }
        if (Left(deadline).count() <= 0) {
            bExpired = true;
            break;
        }
        bool never = false;
        RunContextUntil(context, never, rRETRY_PAUSE);
    }
    g_object_unref(cancellable);
}

CSessionBus::~CSessionBus() {
    if (pConnection != nullptr) {
        g_object_unref(pConnection);
    }
}

} // namespace _sys

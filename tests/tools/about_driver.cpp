// Calls the About selector of a plug-in module as a host would, with a basic suite that offers the UI hooks
// suite, then unloads the module. Prints what the host saw:
//   result=<code> acquired=<n> released=<n> null_events=<n> other_events=<n> extra_fds=<n> extra_threads=<n>
// (the descriptors and threads the call left open) and exits 0 when the call returned 0 and every acquired
// suite was released at unload.
#include "BasicSuite.h"
#include "ExportInterface.h"
#include "PluginLibrary.h"
#include "ProcessCounts.h"

#include <cstdio>

namespace {

int nullEvents = 0;
int otherEvents = 0;

void Count(const EventRecord& event) {
    ++(event.what == nullEvent ? nullEvents : otherEvents);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
        return 2;
    }
    host::suites::OnEvent(Count);
    intptr_t data = 0;
    int16_t result = 0x7777;
    ProcessCounts before{};
    ProcessCounts after{};
    try {
        const host::PluginLibrary module(argv[1]);
        AboutRecord about = {nullptr, host::suites::Basic()};
        before = CountProcess();
        module.Call(exportSelectorAbout, &about, &data, &result);
        after = CountProcess();
    } catch (const host::PluginLoadError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    std::printf(
        "result=%d acquired=%d released=%d null_events=%d other_events=%d extra_fds=%d extra_threads=%d\n",
        result, host::suites::Acquired(), host::suites::Released(), nullEvents, otherEvents,
        after.fds - before.fds, after.threads - before.threads);
    return result == 0 && host::suites::Acquired() == host::suites::Released() ? 0 : 1;
}

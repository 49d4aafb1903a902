// Runs the capability check for a host without advanceState, which shows the version alert. Prints
// "available=<0|1> extra_fds=<n> extra_threads=<n>" (what the alert left open) and exits 0 when the check
// reported the host as lacking it.
#include "ProcessCounts.h"
#include "sdk/HostAlerts.h"

#include <cstdio>

int main() {
    const ProcessCounts before = CountProcess();
    const bool available = WarnHostAdvanceStateAvailable(nullptr);
    const ProcessCounts after = CountProcess();
    std::printf("available=%d extra_fds=%d extra_threads=%d\n", available ? 1 : 0, after.fds - before.fds,
                after.threads - before.threads);
    return available ? 1 : 0;
}

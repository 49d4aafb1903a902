// Runs the capability check for a host without advanceState, which shows the version alert. Prints
// "available=<0|1>" and exits 0 when the check reported the host as lacking it.
#include "HostUtilities.h"

#include <cstdio>

int main() {
    const bool available = WarnHostAdvanceStateAvailable(nullptr);
    std::printf("available=%d\n", available ? 1 : 0);
    return available ? 1 : 0;
}

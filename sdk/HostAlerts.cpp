#include "sdk/HostAlerts.h"

#include "sdk/DialogUtilities.h"

#include <algorithm>

bool HostAdvanceStateAvailable(ExportAdvanceStateProc proc) {
    return proc != nullptr;
}

bool WarnHostAdvanceStateAvailable(ExportAdvanceStateProc proc) {
    const bool available = HostAdvanceStateAvailable(proc);
    if (!available) {
        Str255 version;
        std::fill_n(version, sizeof version, 0);
        DoubleToString(version, 3.0, 1);
        ShowVersionAlert(nullptr, sALERT_VERSION, sSTRING_VERSION_MESSAGE, version, nullptr);
    }
    return available;
}

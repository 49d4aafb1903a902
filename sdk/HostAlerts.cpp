#include "sdk/HostAlerts.h"

#include "platform/MiscMath.h"
#include "sdk/DialogUtilities.h"

bool HostAdvanceStateAvailable(ExportAdvanceStateProc proc) {
    return proc != nullptr;
}

bool WarnHostAdvanceStateAvailable(ExportAdvanceStateProc proc) {
    const bool available = HostAdvanceStateAvailable(proc);
    if (!available) {
        Str255 version;
        _hlp::MiscFill<unsigned char>(version, sizeof version, 0);
        DoubleToString(version, 3.0, 1);
        ShowVersionAlert(nullptr, sALERT_VERSION, sSTRING_VERSION_MESSAGE, version, nullptr);
    }
    return available;
}

// Broken: keeps exporting after the host's abortProc has answered true.
#include "RealPlugin.h"

namespace {

ExportAbortProc hostAbort = nullptr;

// Asks the host, as a plug-in should, and then ignores the answer.
Boolean NeverCancelled() {
    if (hostAbort != nullptr) {
        hostAbort();
    }
    return 0;
}

} // namespace

BROKEN_ENTRY PluginMain(int16_t selector, void* block, intptr_t* data, int16_t* result) {
    auto* record = static_cast<ExportRecord*>(block);
    if (selector != exportSelectorStart || record == nullptr || record->abortProc == nullptr) {
        broken::CallReal(selector, block, data, result);
        return;
    }
    hostAbort = record->abortProc;
    record->abortProc = NeverCancelled;
    broken::CallReal(selector, block, data, result);
    record->abortProc = hostAbort;
}

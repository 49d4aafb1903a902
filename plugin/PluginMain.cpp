#include "PluginMain.h"

#include "AboutBox.h"
#include "Export/ExportFile.h"
#include "ExportPhases.h"
#include "platform/CheckedFolder.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "sdk/HostSuites.h"
#include "sdk/HostUtilities.h"

#include <new>

namespace {

void RunSelector(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result, SGlobals*& globals) {
    if (selector == exportSelectorAbout) {
        auto* about = static_cast<AboutRecord*>(paramBlock);
        pSPBasic = about->sSPBasic;
        *result = ShowAboutDlg(about);
        return;
    }
    auto* record = static_cast<ExportRecord*>(paramBlock);
    pSPBasic = record->sSPBasic;
    *result = Allocate(&globals, record, data, result);
    if (*result != 0) {
        return;
    }
    switch (selector) {
    case exportSelectorStart:
        DispatchExportStart(globals);
        break;
    case exportSelectorContinue:
        DispatchExportContinue(globals);
        break;
    case exportSelectorFinish:
        DispatchExportFinish(globals);
        break;
    case exportSelectorPrepare:
        DispatchExportPrepare(globals);
        break;
    default:
        break;
    }
}

// An export cut short by an exception leaves no file behind, as one that failed by a result code does.
void DiscardExportFile(SGlobals* globals) noexcept {
    if (globals->iFile == -1) {
        return;
    }
    _sys::CloseFile(globals->iFile);
    try {
        _exp::RemoveExportFile(globals);
    } catch (...) {
        // Nothing more can be done here; the code the host gets already says the export failed.
    }
}

// Whatever failed, the host gets its code and nothing stays open: the file and the requested region here, the
// buffer and the export folder with the scopes that hold them.
void Fail(SGlobals* globals, int16_t* result, int32_t code) noexcept {
    if (globals != nullptr) {
        DiscardExportFile(globals);
        SetExportFinished(globals);
    }
    *result = static_cast<int16_t>(code);
}

} // namespace

void MainProc(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) {
    if (paramBlock == nullptr || data == nullptr || result == nullptr) {
        return;
    }
    // Released after a failure's file is discarded: the unfinished file is removed through the folder's
    // descriptor.
    const _sys::CFolderRelease releaseFolder;
    SGlobals* globals = nullptr;
    try {
        RunSelector(selector, paramBlock, data, result, globals);
    } catch (EError code) {
        Fail(globals, result, code);
    } catch (const std::bad_alloc&) {
        Fail(globals, result, eERROR_NO_MEMORY);
    } catch (...) {
        Fail(globals, result, eERROR_PARAM);
    }
    // The host keeps the block movable between calls, so every lock taken here is given back, also after a
    // failure.
    if (globals != nullptr) {
        HostUnlockHandle(globals->rHead.pExportRecord->handleProcs, reinterpret_cast<Handle>(*data));
    }
}

int16_t Allocate(SGlobals** globals, ExportRecord* record, intptr_t* data, int16_t* result) {
    _hlp::Require(globals != nullptr && record != nullptr && data != nullptr && result != nullptr);
    SGlobalsHead* head =
        AllocateGlobals(result, record, record->handleProcs, sizeof(SGlobals), data, CB_InitGlobals);
    if (head == nullptr) {
        return eERROR_NO_MEMORY;
    }
    // The head is SGlobals' first member (asserted in DataGlobal.h), so the two share their address.
    *globals = reinterpret_cast<SGlobals*>(head);
    return eERROR_NONE;
}

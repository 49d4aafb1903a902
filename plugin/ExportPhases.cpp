// The phases of one export, one per selector. Each reports every step through CheckStore; the first error
// wins.
#include "ExportPhases.h"

#include "ConvertBuffer/ConvertBuffer.h"
#include "Export/Classify.h"
#include "Export/ExportFile.h"
#include "Export/ExportImage.h"
#include "Export/ExportLocation.h"
#include "Export/ExportName.h"
#include "Export/ExportRegion.h"
#include "platform/CheckedFolder.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Launch.h"
#include "platform/Path.h"
#include "platform/PendingFile.h"
#include "platform/Strings.h"

#include <algorithm>
#include <string>

namespace {

// The most bytes the plug-in takes in one region: more than its largest chunk (a full buffer of 4-byte
// samples), so it never splits one, and no more, so that a host offering more need not hold it at once.
const int32_t iMAX_DATA = 0x80000;
static_assert(iMAX_DATA >= uiBUFFER_SIZE * sizeof(float), "a chunk must fit in one region");
const int32_t i32BIT_COORDINATES = 1;

void RequireSession(const SGlobals* globals) {
    _hlp::Require(globals != nullptr && globals->rHead.pExportRecord != nullptr);
}

// Folder and name joined, with the name's stem shortened when the whole would not fit the path field: a path
// cut anywhere else would name a different file than the one written. Empty when no stem fits at all.
std::string FitPath(const std::string& folder, const std::string& name) {
    const std::string path = _hlp::CreatePath(folder, name);
    const size_t capacity = uiPATH_CAPACITY - 1;
    if (path.size() <= capacity) {
        return path;
    }
    const size_t point = name.rfind(cPOINT);
    const std::string stem = name.substr(0, point);
    const std::string extension = point == std::string::npos ? std::string() : name.substr(point);
    const size_t excess = path.size() - capacity;
    if (stem.size() <= excess) {
        return std::string();
    }
    return _hlp::CreatePath(folder, stem.substr(0, stem.size() - excess) + extension);
}

} // namespace

Boolean CheckStore(SGlobals* globals, int16_t code) {
    _hlp::Require(globals != nullptr);
    if (code == eERROR_NONE) {
        return true;
    }
    if (*globals->rHead.pResult == eERROR_NONE) {
        *globals->rHead.pResult = code;
    }
    return false;
}

void DispatchExportPrepare(SGlobals* globals) {
    RequireSession(globals);
    ExportRecord* record = globals->rHead.pExportRecord;
    if (CheckStore(globals, CheckEnvironment(record))) {
        record->maxData = std::min<long>(record->maxData, iMAX_DATA);
        record->PluginUsing32BitCoordinates = i32BIT_COORDINATES;
    }
}

int16_t CheckEnvironment(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    if (record->HostSupports32BitCoordinates != i32BIT_COORDINATES) {
        return eERROR_PARAM;
    }
    return CheckMode(record);
}

// A document without pixels, or with more planes than the conversion buffer holds, can no more be exported
// than one of an unknown mode: the host hears so before Start, under the same code.
int16_t CheckMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return _exp::IsExportable(record) ? eERROR_NONE : eERROR_UNSUPPORTED_DOCUMENT;
}

void DispatchExportStart(SGlobals* globals) {
    RequireSession(globals);
    if (CheckStore(globals, SetExportFile(globals)) && CheckStore(globals, _exp::OpenExportFile(globals))) {
        // Prepared while the file is written, and started only once it is published.
        const std::string path(globals->aPath);
        _sys::CCompanionStart companion(path);
        bool exported = false;
        {
            // Only while the file is written: the companion starts with the host's own mask.
            const _sys::CSizeSignalGuard sizeLimitFailsTheWrite;
            exported = CheckStore(globals, _exp::ExportImage(globals));
        }
        // Closed whether or not the image was written; the companion only ever sees a complete, closed file.
        const bool closed = CheckStore(globals, _exp::CloseExportFile(globals));
        if (closed && exported && CheckStore(globals, _exp::PublishExportFile(globals))) {
            if (!CheckStore(globals, companion.Start())) {
                // Kept for the user, but no companion is coming for it: the next export may remove it.
                _sys::ForgetAwaitedFile(path);
            }
        } else {
            // A file with missing rows, or one whose last writes the disk may have lost, would pass for an
            // export: it goes, and only it.
            _exp::RemoveExportFile(globals);
        }
    }
    CheckStore(globals, SetExportFinished(globals));
}

// Everything that can refuse the document or its name is asked before the export folder is touched: a
// refused export leaves the previous export (which may be kept for a later import) where it is.
int16_t SetExportFile(SGlobals* globals) {
    RequireSession(globals);
    std::fill_n(globals->aPath, uiPATH_CAPACITY, cTRAILING_ZERO);
    std::string name;
    if (!_exp::IsExportable(globals->rHead.pExportRecord) ||
        !_exp::GetExportFilename(globals->rHead.pExportRecord, name)) {
        return eERROR_PARAM;
    }
    std::string folder;
    if (!_exp::GetExportFolder(folder, false)) {
        return eERROR_PARAM;
    }
    const std::string path = FitPath(folder, name);
    if (path.empty()) {
        return eERROR_PARAM;
    }
    _sys::CleanFolder(folder);
    _hlp::StrCopy(globals->aPath, uiPATH_CAPACITY, path.c_str());
    return eERROR_NONE;
}

void DispatchExportContinue(SGlobals* globals) {
    RequireSession(globals);
    CheckStore(globals, SetExportFinished(globals));
    CheckStore(globals, eERROR_PARAM);
}

void DispatchExportFinish(SGlobals* globals) {
    RequireSession(globals);
}

int16_t SetExportFinished(SGlobals* globals) {
    if (globals == nullptr || globals->rHead.pExportRecord == nullptr) {
        return eERROR_PARAM;
    }
    _hlp::SetRect(globals->rHead.pExportRecord->theRect32, 0, 0, 0, 0);
    return eERROR_NONE;
}

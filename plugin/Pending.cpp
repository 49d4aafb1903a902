// Operations whose real implementation has not landed yet. Each reports failure, never success, so that a
// build in between exports nothing. Delete a section when its real implementation lands.
#include "ConvertBuffer/IConvertBuffer.h"
#include "Error.h"
#include "Export/Classify.h"
#include "Export/ExportFile.h"
#include "Export/ExportImage.h"
#include "Export/ExportLocation.h"
#include "HostUtilities.h"
#include "System/Files.h"
#include "System/Launch.h"
#include "platform/AboutBox.h"

// --- classification and buffers (pixel pipeline) ---
namespace _exp {
EInputMode GetInputMode(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    return eINPUT_MODE_NONE;
}
void DestroyBuffer(IConvertBuffer*& buffer) {
    delete buffer;
    buffer = nullptr;
}
} // namespace _exp

// --- export to disk and hand-off ---
namespace _exp {
bool GetExportFolder(std::string& folder, unsigned char) {
    folder.clear();
    return false;
}
bool GetExportFilename(ExportRecord* record, std::string& name) {
    _hlp::Require(record != nullptr);
    name.clear();
    return false;
}
int16_t OpenExportFile(SGlobals*) {
    return eERROR_OPEN_FAILED;
}
int16_t CloseExportFile(SGlobals*) {
    return eERROR_PARAM;
}
int16_t ExportImage(SGlobals*) {
    return eERROR_PARAM;
}
} // namespace _exp
namespace _sys {
bool CloseFile(int& fd) {
    fd = -1;
    return true;
}
int16_t StartApplication(const std::string&) {
    return eERROR_COMPANION_NOT_LAUNCHED;
}
} // namespace _sys
namespace _hlp {
void SetRect(VRect& rect, unsigned int left, unsigned int right, unsigned int top, unsigned int bottom) {
    rect.left = static_cast<int32_t>(left);
    rect.right = static_cast<int32_t>(right);
    rect.top = static_cast<int32_t>(top);
    rect.bottom = static_cast<int32_t>(bottom);
}
} // namespace _hlp

// --- dialogs ---
int16_t ShowAboutDlg(AboutRecord* about) {
    _hlp::Require(about != nullptr);
    return 0;
}

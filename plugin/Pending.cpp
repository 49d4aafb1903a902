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

// --- dialogs ---
int16_t ShowAboutDlg(AboutRecord* about) {
    _hlp::Require(about != nullptr);
    return 0;
}

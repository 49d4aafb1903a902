#include "SendToQuenfield.h"

#include "BasicSuite.h"
#include "ExportSession.h"
#include "ExportWorker.h"
#include "GimpDocument.h"
#include "PluginLibrary.h"
#include "ResultCodes.h"
#include "ResultWords.h"
#include "VisibleImage.h"

#include <algorithm>

namespace gimpbridge {
namespace {

// The name the plug-in gives the export file: the image's file name where it has one.
std::string DocumentName(gint32 image) {
    gchar* file = gimp_image_get_filename(image);
    gchar* name = file != nullptr ? g_path_get_basename(file) : gimp_image_get_name(image);
    std::string result = name != nullptr ? name : "Untitled";
    g_free(name);
    g_free(file);
    return result;
}

// GIMP's progress bar moves in whole percent; every update is a message to GIMP, so only changes are sent.
class Progress {
public:
    explicit Progress(const std::string& name) {
        gimp_progress_init_printf("Sending %s to Quenfield", name.c_str());
    }
    ~Progress() { gimp_progress_end(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Update(int32_t done, int32_t total) {
        if (total <= 0) {
            return;
        }
        const int percent = static_cast<int>(100 * int64_t{std::clamp(done + 1, 0, total)} / total);
        if (percent != percent_) {
            percent_ = percent;
            gimp_progress_update(percent / 100.0);
        }
    }

private:
    int percent_ = -1;
};

// GIMP sizes a plug-in's tile cache for whole images. Strips are read once from the top down, so only the
// row of tiles a strip ends in is ever read again: two rows of tiles are enough, and the bridge's memory
// stays independent of the image's height.
void LimitTileCaches(GeglBuffer* buffer) {
    const GeglRectangle* extent = gegl_buffer_get_extent(buffer);
    const guint64 across = static_cast<guint64>(extent->width) / gimp_tile_width() + 1;
    const guint64 tileBytes =
        guint64{gimp_tile_width()} * gimp_tile_height() *
        static_cast<guint64>(babl_format_get_bytes_per_pixel(gegl_buffer_get_format(buffer)));
    // The cache is the whole process's: a narrow image's two rows would leave nothing for GEGL's own buffers.
    const guint64 processFloor = guint64{16} << 20;
    g_object_set(gegl_config(), "tile-cache-size", std::max<guint64>(2 * across * tileBytes, processFloor),
                 nullptr);
}

// GIMP shows a failure's returned words once, as its "Execution error" message (interactively) or the
// script's error (non-interactively); a message of the bridge's own would say it twice.
ProcedureResult Failure(const std::string& words) {
    return {GIMP_PDB_EXECUTION_ERROR, words};
}

// A failure's message is returned for GIMP to show; a kept file's is shown here, and the procedure succeeds.
ProcedureResult Reply(const host::ResultWords& said) {
    switch (said.end) {
    case host::ExportEnd::Exported:
        return {};
    case host::ExportEnd::Kept:
        gimp_message(said.editorMessage.c_str());
        return {};
    case host::ExportEnd::Failed:
        break;
    }
    // A cancel has no message: the user asked for it.
    return said.editorMessage.empty() ? ProcedureResult{GIMP_PDB_CANCEL, ""} : Failure(said.editorMessage);
}

} // namespace

std::filesystem::path ModulePath() {
    return host::ChosenModulePath(QUENFIELD_MODULE_INSTALL_PATH);
}

ProcedureResult SendImage(gint32 image) {
    const std::string name = DocumentName(image);
    try {
        host::PluginLibrary plugin(ModulePath());
        const VisibleImage visible(image);
        LimitTileCaches(visible.Buffer());
        const DocumentFormat format = FormatFor(gimp_image_base_type(image), gimp_image_get_precision(image),
                                                visible.MayBeTransparent());
        GimpDocument document(visible.Buffer(), format, name);
        Progress progress(name);
        return Reply(host::DescribeExport(
            document.Info(), ExportInWorker(plugin, document, [&progress](int32_t done, int32_t total) {
                progress.Update(done, total);
            })));
    } catch (const std::exception& e) {
        return Failure(host::DescribeUnrun(name, e).editorMessage);
    }
}

ProcedureResult ShowAbout(GimpRunMode mode) {
    try {
        host::PluginLibrary plugin(ModulePath());
        // The box waits for the user; a script that asks for it only learns that the plug-in is there.
        if (mode == GIMP_RUN_NONINTERACTIVE) {
            return {};
        }
        AboutRecord about{nullptr, host::suites::Basic()};
        const int16_t result = plugin.Call(exportSelectorAbout, &about);
        if (result != exportNoErr) {
            return Failure("The About box of Quenfield Export failed: " + host::DescribeResult(result) +
                           " (" + std::to_string(result) + ")");
        }
        return {};
    } catch (const std::exception& e) {
        return Failure(e.what() + host::WhatToDo(e));
    }
}

} // namespace gimpbridge

#include "SendToQuenfield.h"

#include "BasicSuite.h"
#include "ExportSession.h"
#include "ExportWorker.h"
#include "ExportedFile.h"
#include "GimpDocument.h"
#include "PluginLibrary.h"
#include "ResultCodes.h"
#include "TempFolderRule.h"
#include "VisibleImage.h"

#include <algorithm>
#include <cstdlib>

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

// What a user can do about a failure, where the bridge knows.
std::string WhatToDo(const std::exception& e) {
    return dynamic_cast<const host::PluginLoadError*>(&e) != nullptr
               ? ". Install Quenfield Export again, or name the plug-in in QUENFIELD_EXPORT_MODULE."
               : "";
}

ProcedureResult Outcome(const std::string& name, const host::DocumentInfo& info,
                        const host::ExportOutcome& outcome) {
    const std::string code = " (" + std::to_string(outcome.result) + ")";
    switch (outcome.result) {
    case exportNoErr:
        return {};
    case exportErrCompanionNotLaunched: {
        const std::optional<host::ExportedFile> file = host::FindExportedFile(info);
        const std::string where = file ? file->path.string() : host::ExportFolder().string();
        // The export itself succeeded: the user is told where the file is, and the procedure does not fail.
        const std::string words = name + " was exported to " + where + ", but " +
                                  host::DescribeResult(outcome.result) + code +
                                  "; the file is kept. Install the companion application quenfield-import "
                                  "(or register it), then send the image again.";
        gimp_message(words.c_str());
        return {};
    }
    default: {
        std::string words =
            name + " was not sent to Quenfield: " + host::DescribeResult(outcome.result) + code;
        if (!outcome.hostError.empty()) {
            words += ": " + outcome.hostError;
        }
        const std::string folderNote = host::TempFolderNote();
        if (!folderNote.empty()) {
            words += " (" + folderNote + ")";
        }
        return Failure(words);
    }
    }
}

} // namespace

std::filesystem::path ModulePath() {
    const char* chosen = std::getenv("QUENFIELD_EXPORT_MODULE");
    return chosen != nullptr && chosen[0] != '\0' ? std::filesystem::path(chosen)
                                                  : std::filesystem::path(QUENFIELD_MODULE_INSTALL_PATH);
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
        return Outcome(name, document.Info(),
                       ExportInWorker(plugin, document, [&progress](int32_t done, int32_t total) {
                           progress.Update(done, total);
                       }));
    } catch (const std::exception& e) {
        return Failure(name + " was not sent to Quenfield: " + e.what() + WhatToDo(e));
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
        return Failure(e.what() + WhatToDo(e));
    }
}

} // namespace gimpbridge

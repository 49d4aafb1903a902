#include "ResultWords.h"

#include "ExpectedFile.h"
#include "ExportedFile.h"
#include "PluginLibrary.h"
#include "ResultCodes.h"
#include "TempFolderRule.h"

#include <optional>

namespace host {
namespace {

// The depth only chooses the name's extension, which does not decide whether the name is empty.
constexpr int16_t kAnyDepth = 8;

std::string Code(int16_t result) {
    return " (" + std::to_string(result) + ")";
}

std::string ExportedFileWords(const std::optional<ExportedFile>& file) {
    if (!file) {
        return "exported, but no file was found in " + ExportFolder().string();
    }
    std::string words = "exported to " + file->path.string() + " (" + file->format;
    if (!file->size.empty()) {
        words += ", " + file->size;
    }
    return words + ", " + std::to_string(file->bytes) + " bytes)";
}

ResultWords Kept(const DocumentInfo& document, int16_t result) {
    const std::optional<ExportedFile> file = FindExportedFile(document);
    const std::filesystem::path path = file ? file->path : std::filesystem::path();
    const std::string where = file ? path.string() : ExportFolder().string();
    // The export itself succeeded: the user is told where the file is.
    return {ExportEnd::Kept, result,
            ExportedFileWords(file) + " and kept there: " + DescribeResult(result) + Code(result),
            document.name + " was exported to " + where + ", but " + DescribeResult(result) + Code(result) +
                "; the file is kept. Install the companion application quenfield-import (or register it), "
                "then send the image again.",
            path};
}

ResultWords Failed(const DocumentInfo& document, const ExportOutcome& outcome) {
    const std::string why = DescribeResult(outcome.result);
    std::string words = "not exported: " + why;
    std::string message = document.name + " was not sent to Quenfield: " + why + Code(outcome.result);
    if (!outcome.hostError.empty()) {
        words += ": " + outcome.hostError;
        message += ": " + outcome.hostError;
    } else if (outcome.result == exportErrParam && ExpectedName(document.name, kAnyDepth).empty()) {
        words = "not exported: its name leaves nothing to name the export file after (\"" + document.name +
                "\" without its extension is empty); rename it";
    }
    const std::string folderNote = TempFolderNote();
    if (!folderNote.empty()) {
        message += " (" + folderNote + ")";
    }
    // A cancel is the user's own doing: an editor has nothing to tell them.
    if (outcome.result == exportErrUserCanceled) {
        message.clear();
    }
    return {ExportEnd::Failed, outcome.result, words + Code(outcome.result), message, {}};
}

} // namespace

ResultWords DescribeExport(const DocumentInfo& document, const ExportOutcome& outcome) {
    switch (outcome.result) {
    case exportNoErr: {
        const std::optional<ExportedFile> file = FindExportedFile(document);
        return {ExportEnd::Exported, exportNoErr,
                ExportedFileWords(file) + "; the companion application was started", "",
                file ? file->path : std::filesystem::path()};
    }
    case exportErrCompanionNotLaunched:
        return Kept(document, outcome.result);
    default:
        return Failed(document, outcome);
    }
}

std::string WhatToDo(const std::exception& why) {
    return dynamic_cast<const PluginLoadError*>(&why) != nullptr
               ? ". Install Quenfield Export again, or name the plug-in in QUENFIELD_EXPORT_MODULE."
               : "";
}

ResultWords DescribeUnrun(const std::string& name, const std::exception& why) {
    return {ExportEnd::Failed,
            0,
            std::string("not exported: ") + why.what(),
            name + " was not sent to Quenfield: " + why.what() + WhatToDo(why),
            {}};
}

} // namespace host

#include "Commands.h"

#include "ExportSession.h"
#include "ExportedFile.h"
#include "HandOff.h"
#include "Interrupt.h"
#include "OpenImage.h"
#include "ProgressBar.h"
#include "ResultCodes.h"

#include <iostream>
#include <memory>

namespace host {
namespace {

// Long enough for a companion that starts slowly; it only runs out when no companion takes the file.
constexpr std::chrono::seconds kHandOffTimeout{10};

struct FileReport {
    bool exported = false;
    std::string line;
    std::filesystem::path handedOff; // the file given to the companion, if one was
};

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

FileReport Report(const std::string& image, const ExportOutcome& outcome) {
    const std::string code = " (" + std::to_string(outcome.result) + ")";
    switch (outcome.result) {
    case exportNoErr: {
        const std::optional<ExportedFile> file = FindExportedFile();
        return {true, image + ": " + ExportedFileWords(file) + "; the companion application was started",
                file ? file->path : std::filesystem::path()};
    }
    case exportErrCompanionNotLaunched:
        return {false,
                image + ": " + ExportedFileWords(FindExportedFile()) + ", but " +
                    DescribeResult(outcome.result) + code + "; the file is kept",
                {}};
    default: {
        std::string line = image + ": not exported: " + DescribeResult(outcome.result) + code;
        if (!outcome.hostError.empty()) {
            line += ": " + outcome.hostError;
        }
        return {false, line, {}};
    }
    }
}

FileReport ExportOne(PluginLibrary& plugin, const std::string& image) {
    try {
        std::unique_ptr<RowSource> document = OpenImage(image);
        ExportOutcome outcome;
        {
            ProgressBar bar(document->Info().name);
            ExportObserver observer{[&bar](int32_t row, int32_t total) { bar.Update(row, total); },
                                    [] { return InterruptScope::Requested(); }};
            ExportSession session(plugin, *document, observer);
            outcome = session.Run();
        }
        return Report(image, outcome);
    } catch (const std::exception& e) {
        return {false, image + ": not exported: " + e.what(), {}};
    }
}

} // namespace

int RunExport(const std::filesystem::path& pluginPath, const std::vector<std::string>& images) {
    std::unique_ptr<PluginLibrary> plugin;
    try {
        plugin = std::make_unique<PluginLibrary>(pluginPath);
    } catch (const PluginLoadError& e) {
        std::cerr << "quenfield-export: " << e.what() << '\n';
        return 1;
    }
    InterruptScope interrupt;
    bool allExported = true;
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string& image = images[i];
        if (InterruptScope::Requested()) {
            std::cout << image << ": skipped, the run was cancelled" << std::endl;
            allExported = false;
            continue;
        }
        const FileReport report = ExportOne(*plugin, image);
        std::cout << report.line << std::endl;
        allExported = allExported && report.exported;
        const bool more = i + 1 < images.size();
        if (more && !report.handedOff.empty() &&
            !HandOffWatch(report.handedOff).AwaitTaken(kHandOffTimeout)) {
            std::cerr << "quenfield-export: the companion has not opened " << report.handedOff.string()
                      << " yet; the next export replaces it" << std::endl;
        }
    }
    return allExported ? 0 : 1;
}

} // namespace host

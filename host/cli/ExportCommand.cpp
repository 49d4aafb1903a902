#include "Commands.h"

#include "DesktopEntry.h"
#include "ExportSession.h"
#include "HandOff.h"
#include "Interrupt.h"
#include "OpenImage.h"
#include "ProgressBar.h"
#include "ResultWords.h"
#include "TempFolderRule.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>

namespace host {
namespace {

// Long enough for a companion that starts slowly; it only runs out when no companion takes the file.
constexpr std::chrono::seconds kHandOffTimeout{10};

struct FileReport {
    ExportEnd end = ExportEnd::Failed;
    std::string line;
    std::vector<std::string> notices;
    std::filesystem::path handedOff; // the file given to the companion, if one was
    std::filesystem::path file;      // the export file, when one was found
};

std::string Label(const std::string& image, const OpenedImage& opened) {
    if (opened.pages == 1) {
        return image;
    }
    return image + " (page " + std::to_string(opened.page) + " of " + std::to_string(opened.pages) + ")";
}

// What the export file does not hold of the source, one line each.
std::vector<std::string> Notices(const OpenedImage& opened) {
    std::vector<std::string> notices;
    const DocumentInfo& info = opened.rows->Info();
    const int extra = info.channels - (info.color == ColorModel::Gray ? 1 : 3);
    if (extra == 1) {
        notices.push_back("its alpha channel is not exported");
    } else if (extra > 1) {
        notices.push_back("its alpha and " + std::to_string(extra - 1) +
                          " further extra channels are not exported");
    }
    if (opened.pages > 1) {
        const uint32_t others = opened.pages - 1;
        notices.push_back("its " + std::to_string(others) +
                          (others == 1 ? " other page is" : " other pages are") +
                          " not exported (--page N chooses one)");
    }
    return notices;
}

// A failed or cancelled export leaves no file: the plug-in removes what it wrote.
FileReport Report(const std::string& label, const DocumentInfo& info, const ExportOutcome& outcome) {
    ResultWords said = DescribeExport(info, outcome);
    const std::filesystem::path handedOff =
        said.end == ExportEnd::Exported ? said.file : std::filesystem::path();
    return {said.end, label + ": " + said.words, {}, handedOff, std::move(said.file)};
}

FileReport ExportOne(PluginLibrary& plugin, const std::string& image, const ExportOptions& options) {
    try {
        const OpenedImage opened = OpenImage(image, options.page, options.memoryLimit);
        RowSource& document = *opened.rows;
        ExportOutcome outcome;
        {
            ProgressBar bar(document.Info().name);
            ExportObserver observer{[&bar](int32_t row, int32_t total) { bar.Update(row, total); },
                                    [] { return InterruptScope::Requested(); }};
            ExportSession session(plugin, document, observer);
            outcome = session.Run();
        }
        FileReport report = Report(Label(image, opened), document.Info(), outcome);
        if (report.end != ExportEnd::Failed) {
            report.notices = Notices(opened);
        }
        // A temporary folder passed over (another user's, or one others could redirect) is named with why.
        const std::string folderNote = TempFolderNote();
        if (!folderNote.empty()) {
            report.notices.push_back(folderNote);
        }
        return report;
    } catch (const std::bad_alloc&) {
        return {
            ExportEnd::Failed, image + ": not exported: the host ran out of memory reading it", {}, {}, {}};
    } catch (const std::exception& e) {
        return {ExportEnd::Failed, image + ": " + DescribeUnrun(image, e).words, {}, {}, {}};
    }
}

// Why the companion did not start, as far as the host can tell: without an entry the plug-in can find, or
// with a hidden one (which switches the companion off), registering it helps; with one, the entry is not the
// trouble.
void ExplainNotStarted() {
    const std::filesystem::path entry = FindEntry(std::string(QUENFIELD_APP_ID) + ".desktop");
    if (entry.empty() || IsHiddenEntry(entry)) {
        std::cerr << "quenfield-export: 'quenfield-export register' registers the reference companion "
                     "application for you"
                  << std::endl;
        return;
    }
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::cerr
        << "quenfield-export: the companion application is registered (" << ShortPath(entry)
        << ") but was not started: "
        << (bus != nullptr && bus[0] != '\0'
                ? "the session bus did not answer in time, or the program the entry names failed to start"
                : "the program the entry names failed to start")
        << std::endl;
}

std::string Count(size_t n, const char* what) {
    return std::to_string(n) + " " + what;
}

} // namespace

int RunExport(const std::filesystem::path& pluginPath, const std::vector<std::string>& images,
              const ExportOptions& options) {
    std::unique_ptr<PluginLibrary> plugin;
    try {
        plugin = std::make_unique<PluginLibrary>(pluginPath);
    } catch (const PluginLoadError& e) {
        std::cerr << "quenfield-export: " << e.what() << '\n';
        return 1;
    }
    InterruptScope interrupt;
    size_t exported = 0; // written, whether handed to the companion or kept
    size_t handed = 0;
    size_t failed = 0;
    size_t skipped = 0;
    std::string keptFile; // set once an export stayed in the folder for want of a companion
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string& image = images[i];
        if (InterruptScope::Requested()) {
            std::cout << image << ": skipped, the run was cancelled" << std::endl;
            ++skipped;
            continue;
        }
        // The next export would empty the folder, and the file just reported as kept would be gone.
        if (!keptFile.empty()) {
            std::cout << image << ": skipped, its export would replace " << keptFile << std::endl;
            ++skipped;
            continue;
        }
        const FileReport report = ExportOne(*plugin, image, options);
        std::cout << report.line << std::endl;
        for (const std::string& notice : report.notices) {
            std::cout << image << ": note: " << notice << std::endl;
        }
        exported += report.end != ExportEnd::Failed;
        handed += report.end == ExportEnd::Exported;
        failed += report.end == ExportEnd::Failed;
        if (report.end == ExportEnd::Kept) {
            keptFile = report.file.empty() ? image : report.file.filename().string();
            ExplainNotStarted();
        }
        const bool more = i + 1 < images.size();
        if (more && !report.handedOff.empty() &&
            !HandOffWatch(report.handedOff).AwaitTaken(kHandOffTimeout)) {
            std::cerr << "quenfield-export: the companion has not opened " << report.handedOff.string()
                      << " yet; the next export replaces it" << std::endl;
        }
    }
    if (images.size() > 1) {
        std::cout << Count(images.size(), "files") << ": " << Count(exported, "exported") << ", "
                  << Count(failed, "failed") << ", " << Count(skipped, "skipped") << std::endl;
    }
    if (InterruptScope::Requested()) {
        return InterruptScope::ExitStatus();
    }
    return handed == images.size() ? 0 : 1;
}

} // namespace host

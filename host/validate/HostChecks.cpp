// Hosts that differ from a plain command-line one: calls from more than one thread (never two at once) and a
// locale whose numbers are not written the "C" way.
#include "CheckSupport.h"

#include <clocale>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace validate {
namespace fs = std::filesystem;
namespace {

// Exports alternate between the host's main thread and fresh threads, one after the other, on one data slot;
// one export also moves thread between Prepare and Start.
void TwoThreads(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), MakeDocument(plugInModeRGB48, 16, 4, 31, 5, "Threads.psd"));
    auto exportOnce = [&](const std::string& what) {
        fs::remove_all(sandbox.ExportFolder());
        host.ClearEvents();
        ExpectExported(host.Export(), host, sandbox, what);
    };
    for (int round = 0; round < 3; ++round) {
        exportOnce("round " + std::to_string(round + 1) + " on the main thread");
        std::string failure;
        std::thread worker([&] {
            try {
                exportOnce("round " + std::to_string(round + 1) + " on another thread");
            } catch (const CheckFailed& e) {
                failure = e.what();
            }
        });
        worker.join();
        if (!failure.empty()) {
            throw CheckFailed(failure);
        }
    }
    fs::remove_all(sandbox.ExportFolder());
    host.ClearEvents();
    ExpectResult(host.Call(exportSelectorPrepare), exportNoErr, "Prepare on the main thread");
    ExportRun run;
    std::thread([&] { run = host.Transfer(); }).join();
    ExpectExported(run, host, sandbox, "Start and Finish on another thread after Prepare on the main one");
}

// A locale with a decimal comma and grouped thousands: one of the system's, or one made from the system's
// definitions into the scratch folder.
std::string CommaLocale(const fs::path& scratch) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            return name;
        }
    }
    const fs::path folder = scratch / "locales";
    fs::create_directories(folder);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("localedef", "localedef", "-i", "de_DE", "-f", "UTF-8", (folder / "de_DE.UTF-8").c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child == -1 || waitpid(child, &status, 0) != child ||
        !fs::exists(folder / "de_DE.UTF-8" / "LC_NUMERIC")) {
        Skip("no locale with a decimal comma is installed and localedef could not make de_DE.UTF-8");
    }
    setenv("LOCPATH", folder.c_str(), 1);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        Skip("the de_DE.UTF-8 locale made by localedef does not load");
    }
    return "de_DE.UTF-8";
}

void NonCLocale(const CheckContext& context) {
    if (!context.ownProcess) {
        Skip("changes the process's locale for good");
    }
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const std::string name = CommaLocale(context.scratch);
    std::locale::global(std::locale(name));
    const std::lconv* numbers = std::localeconv();
    if (std::string(numbers->decimal_point) != ",") {
        Skip("the locale " + name + " has no decimal comma");
    }
    // Wide enough for a grouped number in the header, 32-bit for the scale.
    for (const Document& document : {MakeDocument(plugInModeRGB96, 32, 3, 1234, 2, "Locale.psd"),
                                     MakeDocument(plugInModeRGBColor, 8, 3, 1234, 2, "Locale.psd")}) {
        fs::remove_all(sandbox.ExportFolder());
        ProbeHost host(library.Entry(), document);
        ExpectExported(host.Export(), host, sandbox, document.Describe() + " under the locale " + name);
    }
}

} // namespace

std::vector<Check> HostChecks() {
    return {
        {"two-threads",
         "Exports made one after the other from the main thread and from other threads, and one whose Start "
         "comes from another thread than its Prepare, are correct.",
         TwoThreads, Level::Recommended},
        {"non-c-locale",
         "Under a host locale with a decimal comma and grouped thousands (de_DE.UTF-8, for C and C++), the "
         "files' headers are still written the \"C\" way.",
         NonCLocale, Level::Recommended},
    };
}

} // namespace validate

// Hosts that differ from a plain command-line one: a host thread other than the main one, and a locale whose
// numbers are not written the "C" way.
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

// A host whose thread is not the process's first one: the module is loaded, called and unloaded from
// another thread, every call from that one, as the interface says; exports on it match plain ones.
void OtherThread(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    std::string failure;
    std::thread host([&] {
        try {
            host::PluginLibrary library(context.plugin);
            ProbeHost host(library.Entry(), MakeDocument(plugInModeRGB48, 16, 4, 31, 5, "Threads.psd"));
            for (int round = 0; round < 3; ++round) {
                ExpectExported(host.Export(), host, sandbox, "export " + std::to_string(round + 1));
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    host.join();
    if (!failure.empty()) {
        throw CheckFailed(failure);
    }
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
    // Wide enough for a grouped number in the header, 32-bit for the scale.
    const std::vector<Document> documents = {MakeDocument(plugInModeRGB96, 32, 3, 1234, 2, "Locale.psd"),
                                             MakeDocument(plugInModeRGBColor, 8, 3, 1234, 2, "Locale.psd")};
    // The plain exports that the ones under the locale must match are made under "C".
    for (const Document& document : documents) {
        PlainExport(library.Entry(), document, context.scratch);
    }
    const std::string name = CommaLocale(context.scratch);
    std::locale::global(std::locale(name));
    const std::lconv* numbers = std::localeconv();
    if (std::string(numbers->decimal_point) != ",") {
        Skip("the locale " + name + " has no decimal comma");
    }
    for (const Document& document : documents) {
        ProbeHost host(library.Entry(), document);
        ExpectExported(host.Export(), host, sandbox, document.Describe() + " under the locale " + name);
    }
}

} // namespace

std::vector<Check> HostChecks() {
    return {
        {"other-thread",
         "A host whose thread is not the process's main one loads the module, exports three times and "
         "unloads it, every call from that thread; the exports leave what plain ones leave.",
         OtherThread, Level::Recommended},
        {"non-c-locale",
         "Under a host locale with a decimal comma and grouped thousands (de_DE.UTF-8, for C and C++), the "
         "files' headers are still written the \"C\" way.",
         NonCLocale, Level::Recommended},
    };
}

} // namespace validate

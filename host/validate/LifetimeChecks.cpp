// The plug-in as a guest of the host's process over time: loaded and unloaded again and again, and leaving
// the process as it found it after every export.
//
// The first companion launch in a process leaves GIO's state behind for good (an inotify descriptor,
// eventfds, a GLib worker thread): a one-time cost of the launch, not a leak. Both checks therefore compare
// states only after one warm-up export with a launch.
#include "CheckSupport.h"
#include "ProcessState.h"

#include "BasicSuite.h"
#include "HostHandles.h"

#include <clocale>
#include <csignal>
#include <dlfcn.h>
#include <functional>
#include <unistd.h>

namespace validate {
namespace {

using host::ProcessState;

constexpr int kLoads = 50;

Document ForLoad(int load) {
    const int16_t depths[] = {8, 16, 32};
    const int16_t depth = depths[load % 3];
    return MakeDocument(depth == 8    ? plugInModeRGBColor
                        : depth == 16 ? plugInModeGray16
                                      : plugInModeRGB96,
                        depth, load % 2 == 0 ? 3 : 4, 3 + load % 4, 2,
                        "Load " + std::to_string(load) + ".psd");
}

bool StillLoaded(const std::filesystem::path& plugin) {
    void* module = dlopen(std::filesystem::absolute(plugin).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) {
        return false;
    }
    dlclose(module);
    return true;
}

// compareProcess: also descriptors, mappings and the rest of ProcessState after every unload.
void LoadUnload(const CheckContext& context, bool compareProcess) {
    Sandbox sandbox(context.scratch);
    const int32_t handles = host::handles::Live();
    const int32_t suites = host::suites::Held();
    ProcessState warm;
    for (int load = 0; load < kLoads; ++load) {
        const std::string what = "load " + std::to_string(load + 1);
        {
            host::PluginLibrary library(context.plugin);
            ProbeHost host(library.Entry(), ForLoad(load));
            ExpectExported(host.Export(), host, sandbox, what);
        }
        ExpectEqual(host::handles::Live(), handles, what + ": host handles alive after the unload");
        ExpectEqual(host::suites::Held(), suites, what + ": suites held after the unload");
        if (!compareProcess) {
            continue;
        }
        // The interface does not promise that a module can be unloaded; one that cannot keeps its state.
        Expect(!StillLoaded(context.plugin), what + ": the module after dlclose", "unloaded",
               "still mapped (a unique symbol or a thread of its own keeps it)");
        if (load == 0) {
            warm = ProcessState::Now();
            continue;
        }
        const std::string difference = Difference(warm, ProcessState::After(warm));
        Expect(difference.empty(), what + ": the process compared with after the first load", "the same",
               difference);
    }
}

void Ignore(int) {}

// Settings of the host's own that no export may change: handlers for the usual signals, a blocked signal, a
// locale other than the plug-in's "C", and a working directory.
class HostSettings {
public:
    explicit HostSettings(const std::filesystem::path& workingDirectory) {
        struct sigaction action {};
        action.sa_handler = Ignore;
        action.sa_flags = SA_RESTART;
        sigaddset(&action.sa_mask, SIGUSR1);
        for (size_t i = 0; i < std::size(kHandled); ++i) {
            sigaction(kHandled[i], &action, &previous_[i]);
        }
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &blocked, &mask_);
        locale_ = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, "C.UTF-8");
        cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(workingDirectory);
    }
    ~HostSettings() {
        std::error_code ignored;
        std::filesystem::current_path(cwd_, ignored);
        std::setlocale(LC_ALL, locale_.c_str());
        pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
        for (size_t i = 0; i < std::size(kHandled); ++i) {
            sigaction(kHandled[i], &previous_[i], nullptr);
        }
    }
    HostSettings(const HostSettings&) = delete;
    HostSettings& operator=(const HostSettings&) = delete;

private:
    static constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD, SIGUSR1};
    struct sigaction previous_[std::size(kHandled)]{};
    sigset_t mask_{};
    std::string locale_;
    std::filesystem::path cwd_;
};

void ProcessStateKept(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    HostSettings settings(context.scratch);
    host::PluginLibrary library(context.plugin);
    ProbeHost host(library.Entry(), MakeDocument(plugInModeRGB48, 16, 4, 25, 3, "State.psd"));
    ExpectResult(host.Export().result, exportNoErr, "the warm-up export");
    // What the plug-in answers is judged by the other checks; here only what it leaves behind.
    const std::pair<const char*, std::function<void()>> exports[] = {
        {"a successful export", [&] { host.Export(); }},
        {"a cancelled export",
         [&] {
             host.Behaviour().cancelAfter = 1;
             host.Export();
             host.Behaviour().cancelAfter.reset();
         }},
        {"an export the host failed",
         [&] {
             host.Behaviour().failAt = 1;
             host.Behaviour().failCode = -36;
             host.Export();
             host.Behaviour().failAt.reset();
         }},
        {"an export without advanceState",
         [&] {
             const ExportAdvanceStateProc advanceState = host.Record().advanceState;
             host.Record().advanceState = nullptr;
             host.Export();
             host.Record().advanceState = advanceState;
         }},
        {"an unsupported document",
         [&] {
             host.Record().imageMode = 4;
             host.Export();
             host.Record().imageMode = plugInModeRGB48;
         }},
        {"an export without companion",
         [&] {
             Sandbox orphan(context.scratch / "no-companion", Companion::Missing);
             host.Export();
         }},
        {"About",
         [&] {
             AboutRecord about{nullptr, host.Record().sSPBasic};
             int16_t result = ProbeHost::kUntouched;
             library.Entry()(exportSelectorAbout, &about, &host.Slot(), &result);
         }},
    };
    for (const auto& [what, run] : exports) {
        const ProcessState before = ProcessState::Now();
        run();
        const std::string difference = Difference(before, ProcessState::After(before));
        Expect(difference.empty(), std::string(what) + ": the host's process afterwards", "as before",
               difference);
    }
}

} // namespace

std::vector<Check> LifetimeChecks() {
    return {
        {"load-unload",
         "The module is loaded (dlopen) and unloaded (dlclose) 50 times with a correct export in between; "
         "each unload leaves no host handle or suite behind.",
         [](const CheckContext& context) { LoadUnload(context, false); }, Level::Contract},
        {"load-unload-leaks",
         "Over 50 loads and unloads with an export in between, the module is unmapped after each dlclose, "
         "and "
         "open descriptors, the locale, signal settings and the rest of the process stay as after the first "
         "load (whose launch sets up GIO's lasting state).",
         [](const CheckContext& context) { LoadUnload(context, true); }, Level::Recommended},
        {"process-state",
         "Open descriptors, live host handles, the locale, the working directory, signal dispositions and "
         "the signal mask are the same before and after each export (successful, cancelled, failed, refused, "
         "without companion) and About, measured after one warm-up export whose launch sets up GIO's lasting "
         "state.",
         ProcessStateKept, Level::Recommended},
    };
}

} // namespace validate

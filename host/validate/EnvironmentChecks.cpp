// What lies outside the host: the temporary folder and the companion application.
#include "CheckSupport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace validate {
namespace fs = std::filesystem;
namespace {

constexpr uid_t kNobody = 65534;

// Root passes every permission check, so a root validator exports as nobody for the length of the scope.
// seteuid rather than setuid, so that a run in one process (--in-process) can come back.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() != 0) {
            return;
        }
        if (setegid(kNobody) != 0) {
            Skip(std::string("cannot take the group id of nobody: ") + std::strerror(errno));
        }
        if (seteuid(kNobody) != 0) {
            const int error = errno;
            if (setegid(0) != 0) {
                std::abort(); // the rest of the run would not be root's
            }
            Skip(std::string("cannot take the user id of nobody: ") + std::strerror(error));
        }
        switched_ = true;
    }
    ~AsOrdinaryUser() {
        if (switched_ && (seteuid(0) != 0 || setegid(0) != 0)) {
            std::abort(); // the rest of the run would not be root's
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool switched_ = false;
};

// exactCodes: our plug-in's -50 and -23 rather than any failure, also for its own read-only export folder.
void TempFolderReadOnly(const CheckContext& context, bool exactCodes) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    // The folder without the export folder, where it cannot be created, and with a read-only export folder.
    const fs::path noRoom = context.scratch / "read-only-tmp";
    const fs::path lockedExport = context.scratch / "read-only-export";
    fs::create_directories(noRoom);
    fs::create_directories(lockedExport / "QuenfieldImport");
    const std::pair<fs::path, int16_t> cases[] = {{noRoom, exportErrParam},
                                                  {lockedExport, exportErrOpenFailed}};
    chmod(noRoom.c_str(), 0555);
    // The temporary folders and the export folder are the exporting user's own, or the plug-in would rightly
    // pass the temporary folder over for one of its own, or refuse the export folder.
    const fs::path exportFolder = lockedExport / "QuenfieldImport";
    for (const fs::path& folder : {noRoom, lockedExport, exportFolder}) {
        if (geteuid() == 0 && chown(folder.c_str(), kNobody, kNobody) != 0) {
            Skip("cannot give " + folder.string() + " to nobody: " + std::string(std::strerror(errno)));
        }
    }
    chmod(exportFolder.c_str(), 0500);
    for (const auto& [temp, expected] : cases) {
        if (!exactCodes && expected == exportErrOpenFailed) {
            continue;
        }
        sandbox.SetTempVariable(temp.string());
        const std::string what = "TMPDIR " + temp.filename().string();
        const fs::path target = expected == exportErrParam ? temp : temp / "QuenfieldImport";
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 2, 2, "ReadOnly.psd"));
        ExportRun run;
        {
            AsOrdinaryUser user;
            if (faccessat(AT_FDCWD, target.c_str(), R_OK | X_OK, AT_EACCESS) != 0 ||
                faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
                Skip(target.string() + " is not a readable, read-only folder for the user the check runs as");
            }
            run = host.Export();
        }
        if (exactCodes) {
            ExpectResult(run.result, expected, what + ": the export's result");
        } else {
            ExpectFailure(run.result, what + ": the export's result");
        }
        Expect(host.Requests().empty(), what + ": requests", "none", std::to_string(host.Requests().size()));
        Expect(!fs::exists(temp / "QuenfieldImport" / "ReadOnly.ppm"), what + ": the export file",
               "not created", "created");
        ExpectRegionEmpty(host.Record(), what);
    }
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

// Gives this process a mount namespace of its own whose /tmp is an empty, read-only folder but for one
// regular file, whose path is returned: with the real /tmp, a plug-in that falls back on it would find or
// make a temporary folder there. Throws CheckSkipped when the system does not allow it.
std::string MakeTmpUnusable() {
    const auto fail = [](const char* step) {
        Skip(std::string("cannot give the check a read-only /tmp of its own (") + step + ": " +
             std::strerror(errno) + "), and the real one may hold a fallback folder");
    };
    if (geteuid() != 0) {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            fail("unshare");
        }
        WriteText("/proc/self/setgroups", "deny");
        WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    } else if (unshare(CLONE_NEWNS) != 0) {
        fail("unshare");
    }
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        fail("mount --make-rprivate /");
    }
    if (mount("tmpfs", "/tmp", "tmpfs", 0, "size=64k,mode=0755") != 0) {
        fail("mount tmpfs on /tmp");
    }
    const std::string file = "/tmp/a-file";
    WriteText(file, "not a folder");
    if (mount("tmpfs", "/tmp", "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k,mode=0755") != 0) {
        fail("remount /tmp read-only");
    }
    return file;
}

void TempFolderMissing(const CheckContext& context) {
    if (!context.ownProcess) {
        Skip("needs a process of its own, whose /tmp is replaced");
    }
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    const std::string file = MakeTmpUnusable();
    const std::pair<const char*, std::string> cases[] = {
        {"unset", ""},
        {"a missing folder", (context.scratch / "missing").string()},
        {"a regular file", file},
        {"a relative path", "relative/tmp"}};
    for (const auto& [what, value] : cases) {
        sandbox.SetTempVariable(value);
        ProbeHost host(library.Entry(), MakeDocument(plugInModeRGBColor, 8, 3, 2, 2));
        const ExportRun run = host.Export();
        // A plug-in that writes elsewhere may export; one that needs the temporary folder fails early.
        if (run.result == exportNoErr) {
            continue;
        }
        Expect(host.Requests().empty(), std::string("TMPDIR ") + what + " and /tmp read-only: requests",
               "none before the failure", std::to_string(host.Requests().size()));
        ExpectRegionEmpty(host.Record(), std::string("TMPDIR ") + what);
    }
}

void MissingCompanion(const CheckContext& context, bool fileKept) {
    Sandbox sandbox(context.scratch, Companion::Missing);
    host::PluginLibrary library(context.plugin);
    const Document document = MakeDocument(plugInModeRGB96, 32, 3, 3, 2, "Orphan.psd");
    ProbeHost host(library.Entry(), document);
    ExpectResult(host.Export().result, exportErrCompanionNotLaunched, "the export's result");
    if (fileKept) {
        ExpectOurFile(sandbox, document, "the file kept for a later import");
    }
}

// The companion starts after an export that succeeded, and after none that failed.
void CompanionLaunch(const CheckContext& context) {
    Sandbox sandbox(context.scratch, Companion::Recording);
    host::PluginLibrary library(context.plugin);
    const Document document = MakeDocument(plugInModeRGBColor, 8, 3, 4, 3, "Launch.psd");
    {
        ProbeHost host(library.Entry(), document);
        ExpectWorked(host.Export(), host, "a clean export");
        Expect(sandbox.Launched(std::chrono::seconds(5)), "a clean export: the companion",
               "started within 5 s", "not started");
        sandbox.ForgetLaunch();
    }
    const std::pair<const char*, std::function<void(ProbeHost&)>> failures[] = {
        {"a cancelled export", [](ProbeHost& host) { host.Behaviour().cancelAfter = 0; }},
        {"an export the host failed",
         [](ProbeHost& host) {
             host.Behaviour().failAt = 1;
             host.Behaviour().failCode = -36;
         }},
        {"an export without advanceState", [](ProbeHost& host) { host.Record().advanceState = nullptr; }},
        {"an export with rowBytes short by 1", [](ProbeHost& host) { host.Behaviour().rowBytesShortBy = 1; }},
    };
    for (const auto& [what, arrange] : failures) {
        ProbeHost host(library.Entry(), document);
        // A row per request at most: three requests.
        host.Record().maxData = int32_t(document.PixelBytes()) * document.Width();
        arrange(host);
        ExpectFailure(host.Export().result, std::string(what) + ": the result");
    }
    Expect(!sandbox.Launched(std::chrono::milliseconds(300)), "after the failed exports: the companion",
           "not started", "started");
}

} // namespace

std::vector<Check> EnvironmentChecks() {
    return {
        {"temp-folder-read-only",
         "A read-only temporary folder fails the export with no request and no file (exported as nobody when "
         "run as root).",
         [](const CheckContext& context) { TempFolderReadOnly(context, false); }, Level::Recommended},
        {"temp-folder-codes",
         "A read-only temporary folder gives -50 and a read-only $TMPDIR/QuenfieldImport -23, with no "
         "request "
         "and no file.",
         [](const CheckContext& context) { TempFolderReadOnly(context, true); }, Level::Reference},
        {"temp-folder-missing",
         "With TMPDIR unset, missing, a file or relative and /tmp read-only (private mount namespace), an "
         "export that fails does so without requesting pixels.",
         TempFolderMissing, Level::Recommended},
        {"missing-companion", "Without the companion's desktop entry the export answers -30901.",
         [](const CheckContext& context) { MissingCompanion(context, false); }, Level::Reference},
        {"reference-companion-launch",
         "The companion is started after an export that succeeded, and after none that was cancelled, failed "
         "by the host, lacked advanceState or had rows too short.",
         CompanionLaunch, Level::Reference},
        {"missing-companion-keeps-file",
         "Without the companion's desktop entry the complete file stays for a later import.",
         [](const CheckContext& context) { MissingCompanion(context, true); }, Level::Reference},
    };
}

} // namespace validate

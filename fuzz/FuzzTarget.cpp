// The fuzz target: one input is one host session (see Scenario.cpp for the layout). After every call it
// checks what no host behaviour, record or disk state may break: the result each selector must give, no
// descriptor and no locked handle left behind, no file outside the export folder, the regions asked for and
// the progress reported, and the export file byte for byte against an independent computation.
#include "Checks.h"
#include "Expected.h"
#include "FuzzHost.h"
#include "Scenario.h"

#include "System/Launch.h"
#include "platform/Display.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fuzz {
namespace {

namespace fs = std::filesystem;

const char* const pcEXPORT_FOLDER = "QuenfieldImport";
const char* const pcSTALE_FILE = "stale.ppm";
const char* const pcPLANTED_FOLDER = "planted";
constexpr int32_t iDATA_CAP = 0x80000;

// Dialogs (About, the missing-advanceState alert) are answered at once: nobody sits at the fuzzer.
class SilentDisplay : public IDisplay {
public:
    Rect ScreenBounds() override { return Rect{0, 0, 384, 640}; }
    void Show(const SDialogView&) override {}
    bool NextEvent(EventRecord&) override { return false; }
};

// A private scratch folder holding the temporary folder the plug-in exports to and the data folder the
// companion is registered in; removed at exit.
class Environment {
public:
    static Environment& Get() {
        static Environment environment;
        return environment;
    }

    std::string ExportFolder() const { return tmp + "/" + pcEXPORT_FOLDER; }
    const std::string& Tmp() const { return tmp; }
    const std::string& Root() const { return root; }

    // The disk as the scenario wants it before the first selector.
    void Arrange(const Scenario& s) const {
        // Rewritten only when it changes: GIO watches the folder.
        if (s.companion && !fs::exists(entry)) {
            WriteEntry();
        } else if (!s.companion) {
            fs::remove(entry);
        }
        const std::string folder = ExportFolder();
        if (s.folder == FolderState::Absent) {
            fs::remove_all(folder);
            return;
        }
        // Emptied rather than made anew: removing a folder is slow on some file systems.
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_all);
        for (const auto& item : fs::directory_iterator(folder)) {
            fs::remove_all(item.path());
        }
        if (s.folder == FolderState::StaleFile) {
            std::ofstream(folder + "/" + pcSTALE_FILE) << "stale";
        } else if (s.folder == FolderState::FolderNamedLikeTheFile) {
            fs::create_directory(folder + "/" + PlantedName(s));
        }
    }

    // The folder planted under the export file's name, so that the file cannot be created.
    std::string PlantedName(const Scenario& s) const {
        const std::string name = ExportName(s.filename, Classify(s.mode, s.depth, s.planes).format);
        const std::string path = name.empty() ? std::string() : FitPath(ExportFolder(), name);
        return path.empty() ? pcPLANTED_FOLDER : fs::path(path).filename().string();
    }

private:
    Environment() {
        std::string pattern = (fs::temp_directory_path() / "quenfield-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create " + pattern);
        }
        root = pattern;
        tmp = root + "/tmp";
        fs::create_directories(tmp);
        fs::create_directories(root + "/data/applications");
        entry = root + "/data/applications/" QUENFIELD_APP_ID ".desktop";
        setenv("TMPDIR", tmp.c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        setenv("XDG_DATA_DIRS", (root + "/none").c_str(), 1);
        // No session bus: a launch must not depend on one, nor wait for one.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-bus").c_str(), 1);
        InstallDisplay(&display);
        WarmUp();
    }

    void WriteEntry() const {
        std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Fuzz companion\nExec=true %f\n";
    }

    // GIO's first desktop entry load sets up, for the rest of the process, a watch on the data folders
    // (an inotify descriptor and a worker thread with two eventfds). That happens once per process, not once
    // per export; one launch here keeps it out of the per-call descriptor check.
    void WarmUp() const {
        WriteEntry();
        const std::string file = tmp + "/warm-up.ppm";
        std::ofstream(file) << "P6\n1\n1\n65535\n";
        _sys::StartApplication(file);
        fs::remove(file);
    }

    ~Environment() {
        InstallDisplay(nullptr);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string root;
    std::string tmp;
    std::string entry;
    SilentDisplay display;
};

std::string Describe(int16_t selector, size_t call) {
    return "call " + std::to_string(call) + " (selector " + std::to_string(selector) + ")";
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DescribeDescriptors(const std::set<int>& before, const std::set<int>& after) {
    std::string text;
    for (int fd : after) {
        if (before.count(fd) == 0) {
            std::error_code ignored;
            text += "opened " + std::to_string(fd) + " -> " +
                    fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ignored).string() + "; ";
        }
    }
    for (int fd : before) {
        if (after.count(fd) == 0) {
            text += "closed " + std::to_string(fd) + "; ";
        }
    }
    return text;
}

bool SameRegion(const Region& a, const Region& b) {
    return a.rect.top == b.rect.top && a.rect.left == b.rect.left && a.rect.bottom == b.rect.bottom &&
           a.rect.right == b.rect.right && a.loPlane == b.loPlane && a.hiPlane == b.hiPlane;
}

void CheckRegions(const std::vector<Region>& seen, const std::vector<Region>& expected,
                  const std::string& at) {
    Require(seen.size() == expected.size(), at + ": " + std::to_string(seen.size()) + " regions requested, " +
                                                std::to_string(expected.size()) + " expected");
    for (size_t i = 0; i < seen.size(); ++i) {
        Require(SameRegion(seen[i], expected[i]), at + ": region " + std::to_string(i) + " differs");
    }
}

void CheckProgress(const std::vector<ProgressReport>& seen, const std::vector<ProgressReport>& expected,
                   const std::string& at) {
    Require(seen.size() == expected.size(), at + ": " + std::to_string(seen.size()) + " progress reports, " +
                                                std::to_string(expected.size()) + " expected");
    for (size_t i = 0; i < seen.size(); ++i) {
        Require(seen[i].done == expected[i].done && seen[i].total == expected[i].total,
                at + ": progress report " + std::to_string(i) + " differs");
    }
}

void CheckFile(const StartOutcome& o, const std::string& at) {
    Require(IsRegularFile(o.path), at + ": no export file at " + o.path);
    const std::vector<uint8_t> file = ReadFile(o.path);
    size_t first = 0;
    while (first < file.size() && first < o.file.size() && file[first] == o.file[first]) {
        ++first;
    }
    Require(file == o.file, at + ": the file has " + std::to_string(file.size()) + " bytes, " +
                                std::to_string(o.file.size()) + " expected; first difference at byte " +
                                std::to_string(first));
}

// Only the export file, and what the scenario planted itself, may be in the export folder.
void CheckExportFolder(const Scenario& s, const StartOutcome& o, const std::string& at) {
    const Environment& env = Environment::Get();
    std::set<std::string> allowed;
    if (o.fileCreated) {
        allowed.insert(fs::path(o.path).filename().string());
        CheckFile(o, at);
    }
    if (s.folder == FolderState::FolderNamedLikeTheFile) {
        allowed.insert(env.PlantedName(s));
    }
    Require(FolderNames(env.ExportFolder()) == allowed, at + ": the export folder holds other entries");
}

void CheckStart(const Scenario& s, const FuzzHost& host, int16_t result, const std::string& at) {
    const StartOutcome o = ExpectStart(s, Environment::Get().ExportFolder());
    Require(result == o.result,
            at + ": Start gave " + std::to_string(result) + ", expected " + std::to_string(o.result));
    CheckRegions(host.Requests(), o.requests, at);
    CheckProgress(host.Progress(), o.progress, at);
    if (s.handles != HandleMode::LockFails) {
        CheckExportFolder(s, o, at);
    }
}

bool IsEmpty(const VRect& r) {
    return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0;
}

// Fields the host owns stay as the host wrote them.
void CheckHostFields(const ExportRecord& before, const ExportRecord& after, const std::string& at) {
    Require(before.abortProc == after.abortProc && before.progressProc == after.progressProc &&
                before.imageMode == after.imageMode && before.depth == after.depth &&
                before.planes == after.planes && before.imageSize.v == after.imageSize.v &&
                before.imageSize.h == after.imageSize.h && before.imageSize32.v == after.imageSize32.v &&
                before.imageSize32.h == after.imageSize32.h && before.handleProcs == after.handleProcs &&
                before.advanceState == after.advanceState && before.sSPBasic == after.sSPBasic &&
                before.HostSupports32BitCoordinates == after.HostSupports32BitCoordinates &&
                std::memcmp(before.filename, after.filename, sizeof before.filename) == 0,
            at + ": a field of the host's was changed");
}

void CheckPrepare(const Scenario& s, const ExportRecord& before, const ExportRecord& after, int16_t result,
                  const std::string& at) {
    int16_t expected = 0;
    if (s.hostSupports32Bit != 1) {
        expected = -50;
    } else if (Classify(s.mode, s.depth, s.planes).format == Format::None) {
        expected = -30201;
    }
    Require(result == expected,
            at + ": Prepare gave " + std::to_string(result) + ", expected " + std::to_string(expected));
    const bool settled = expected == 0;
    Require(after.maxData == (settled ? std::min(before.maxData, iDATA_CAP) : before.maxData),
            at + ": maxData wrong after Prepare");
    Require(after.PluginUsing32BitCoordinates == (settled ? 1 : before.PluginUsing32BitCoordinates),
            at + ": PluginUsing32BitCoordinates wrong after Prepare");
}

void CheckCall(const Scenario& s, const FuzzHost& host, int16_t selector, const ExportRecord& before,
               int16_t result, const std::string& at) {
    const ExportRecord& after = host.Record();
    CheckHostFields(before, after, at);
    if (selector != exportSelectorPrepare) {
        Require(after.maxData == before.maxData &&
                    after.PluginUsing32BitCoordinates == before.PluginUsing32BitCoordinates,
                at + ": only Prepare settles maxData and the coordinates");
    }
    if (selector == exportSelectorAbout) {
        Require(result == 0, at + ": About gave " + std::to_string(result));
        return;
    }
    if (s.handles == HandleMode::LockFails) {
        Require(result == -108, at + ": no globals, yet the result is " + std::to_string(result));
        return;
    }
    switch (selector) {
    case exportSelectorPrepare:
        CheckPrepare(s, before, after, result, at);
        break;
    case exportSelectorStart:
        CheckStart(s, host, result, at);
        Require(IsEmpty(after.theRect32), at + ": the region is not empty after Start");
        break;
    case exportSelectorContinue:
        Require(result == -50, at + ": Continue gave " + std::to_string(result));
        Require(IsEmpty(after.theRect32), at + ": the region is not empty after Continue");
        break;
    default:
        Require(result == 0, at + ": gave " + std::to_string(result));
        break;
    }
}

} // namespace
} // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Environment::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fuzz;
    const Environment& env = Environment::Get();
    const Scenario s = Decode(data, size);
    env.Arrange(s);
    {
        FuzzHost host(s);
        for (size_t call = 0; call < s.selectors.size(); ++call) {
            const int16_t selector = s.selectors[call];
            const std::string at = Describe(selector, call);
            const std::set<int> descriptors = OpenDescriptors();
            const ExportRecord before = host.Record();
            host.ClearLog();
            const int16_t result = host.Call(selector);
            const std::set<int> descriptorsAfter = OpenDescriptors();
            Require(descriptorsAfter == descriptors,
                    at + ": file descriptors differ: " + DescribeDescriptors(descriptors, descriptorsAfter));
            Require(FuzzHost::LockedHandles() == 0, at + ": a handle was left locked");
            CheckCall(s, host, selector, before, result, at);
            const std::set<std::string> tmp = FolderNames(env.Tmp());
            Require(tmp.empty() || tmp == std::set<std::string>{pcEXPORT_FOLDER},
                    at + ": something was written into the temporary folder beside the export folder");
            Require(FolderNames(env.Root()) == std::set<std::string>{"data", "tmp"},
                    at + ": something was written into the scratch folder");
        }
        if (s.handles != HandleMode::Host && s.handles != HandleMode::LockFails) {
            Require(FuzzHost::LiveHandles() == 0, "unusable handle routines were used");
        }
    }
    Require(FuzzHost::LiveHandles() == 0, "a handle of the host's outlived the session");
    return 0;
}

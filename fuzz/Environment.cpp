#include "Environment.h"

#include "Checks.h"

#include "platform/Display.h"
#include "platform/Launch.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {
namespace {

namespace fs = std::filesystem;

const char* const pcEXPORT_FOLDER = "QuenfieldImport";
const char* const pcSTALE_FILE = "stale.ppm";
const char* const pcPLANTED_FOLDER = "planted";
const char* const pcVICTIM_FILE = "keep";
const uid_t uiNOBODY = 65534;

// Dialogs (About, the missing-advanceState alert) are answered at once: nobody sits at the fuzzer.
class SilentDisplay : public IDisplay {
public:
    Rect ScreenBounds() override { return Rect{0, 0, 384, 640}; }
    void Show(const SDialogView&) override {}
    bool NextEvent(EventRecord&) override { return false; }
};

SilentDisplay display;

std::string PrivateName() {
    return "quenfield-" + std::to_string(geteuid());
}

// Everything inside folder goes; the folder stays.
void Empty(const std::string& folder) {
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(folder, ignored)) {
        fs::remove_all(item.path(), ignored);
    }
}

void MakeFolder(const std::string& path, mode_t mode) {
    fs::create_directories(path);
    chmod(path.c_str(), mode);
}

// The setups that hand a folder to another user test nothing when the change of owner did not happen.
void GiveToNobody(const std::string& path) {
    if (lchown(path.c_str(), uiNOBODY, uiNOBODY) != 0) {
        throw std::runtime_error("cannot give " + path + " to nobody");
    }
}

// A mount namespace of this process's own, in which a scratch folder stands in for /tmp/quenfield-<uid>.
// Returns that path, or empty when the system does not allow it.
std::string IsolateFallback(const std::string& source) {
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string();
    }
    const std::string target = "/tmp/" + PrivateName();
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) {
        mkdir(target.c_str(), 0700);
    }
    if (lstat(target.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return std::string();
    }
    return target;
}

} // namespace

Environment& Environment::Get() {
    static Environment environment;
    return environment;
}

Environment::Environment() {
    std::string pattern = (fs::temp_directory_path() / "quenfield-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create " + pattern);
    }
    root = pattern;
    MakeFolder(root + "/tmp", 0700);
    MakeFolder(root + "/shared", 01777);
    MakeFolder(root + "/open", 0777);
    MakeFolder(root + "/foreign", 0755);
    MakeFolder(root + "/fallback", 0700);
    victim = root + "/victim";
    MakeFolder(victim, 0755);
    std::ofstream(victim + "/" + pcVICTIM_FILE) << pcVICTIM_FILE;
    if (geteuid() == 0) {
        GiveToNobody(root + "/foreign");
    }
    fs::create_directories(root + "/data/applications");
    entry = root + "/data/applications/" QUENFIELD_APP_ID ".desktop";
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root + "/none").c_str(), 1);
    // No session bus: a launch must not depend on one, nor wait for one.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-bus").c_str(), 1);
    // Before any thread starts: a namespace is only had by a process of one thread.
    fallback = IsolateFallback(root + "/fallback");
    if (fallback.empty()) {
        std::fprintf(stderr,
                     "fuzz: no mount namespace of its own (needs root): inputs that need the fallback "
                     "folder (or, as root, a read-only folder) run without it\n");
    }
    InstallDisplay(&display);
    WarmUp();
}

Environment::~Environment() {
    InstallDisplay(nullptr);
    Reset();
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

void Environment::WriteEntry() const {
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Fuzz companion\nExec=head -c 1 %f\n";
}

// GIO's first desktop entry load sets up, for the rest of the process, a watch on the data folders (an
// inotify descriptor and a worker thread with two eventfds). That happens once per process, not once per
// export; one launch here keeps it out of the per-call descriptor check.
void Environment::WarmUp() const {
    WriteEntry();
    const std::string file = root + "/tmp/warm-up.ppm";
    std::ofstream(file) << "P6\n1\n1\n65535\n";
    _sys::StartApplication(file);
    fs::remove(file);
}

void Environment::Reset() {
    if (!locked.empty()) {
        if (umount2(locked.c_str(), MNT_DETACH) != 0) {
            chmod(locked.c_str(), 0700);
        }
        locked.clear();
    }
    for (const char* folder : {"/tmp", "/shared", "/open", "/foreign", "/fallback"}) {
        Empty(root + folder);
    }
}

TmpState Environment::Possible(TmpState state) const {
    const bool root = geteuid() == 0;
    switch (state) {
    case TmpState::Unset:
    case TmpState::Relative:
    case TmpState::OpenNonSticky:
        return fallback.empty() ? TmpState::Private : state;
    case TmpState::Foreign:
        return fallback.empty() || !root ? TmpState::Private : state;
    case TmpState::SquattedByLink:
        return fallback.empty() ? TmpState::Private : state;
    case TmpState::SquattedByOther:
        return root && !fallback.empty() ? state : TmpState::Private;
    default:
        return state;
    }
}

Hazard Environment::Possible(Hazard hazard) const {
    const bool root = geteuid() == 0;
    switch (hazard) {
    case Hazard::ForeignOwned:
        return root ? hazard : Hazard::None;
    case Hazard::ReadOnly:
    case Hazard::ReadOnlyFifo:
    case Hazard::ReadOnlyHardLink:
        // Root writes to any folder whose mode says no; only a read-only mount stops it.
        return root && fallback.empty() ? Hazard::None : hazard;
    default:
        return hazard;
    }
}

// Sets TMPDIR for the state and returns the temporary folder the plug-in must arrive at (empty when it must
// find none), planting what a squatter would.
std::string Environment::TempFolderFor(TmpState state) {
    switch (state) {
    case TmpState::Private:
        setenv("TMPDIR", (root + "/tmp").c_str(), 1);
        return root + "/tmp";
    case TmpState::Unset:
        unsetenv("TMPDIR");
        return fallback;
    case TmpState::Relative:
        setenv("TMPDIR", "tmp", 1);
        return fallback;
    case TmpState::OpenNonSticky:
        setenv("TMPDIR", (root + "/open").c_str(), 1);
        return fallback;
    case TmpState::Foreign:
        setenv("TMPDIR", (root + "/foreign").c_str(), 1);
        return fallback;
    case TmpState::SharedSticky:
        setenv("TMPDIR", (root + "/shared").c_str(), 1);
        return root + "/shared/" + PrivateName();
    case TmpState::SquattedByLink:
        setenv("TMPDIR", (root + "/shared").c_str(), 1);
        fs::create_directory_symlink(victim, root + "/shared/" + PrivateName());
        return fallback;
    case TmpState::SquattedByOther: {
        setenv("TMPDIR", (root + "/shared").c_str(), 1);
        const std::string squatted = root + "/shared/" + PrivateName();
        MakeFolder(squatted, 0777);
        GiveToNobody(squatted);
        return fallback;
    }
    }
    return std::string();
}

void Environment::ApplyHazard(Hazard hazard, const std::string& folder, const std::string& file,
                              Setup& setup) {
    std::error_code ignored;
    const bool named = !file.empty() && !fs::exists(fs::symlink_status(file));
    switch (hazard) {
    case Hazard::None:
        break;
    case Hazard::PlantedLink:
        fs::remove_all(folder);
        fs::create_directory_symlink(victim, folder);
        setup.folderRefused = true;
        break;
    case Hazard::ForeignOwned:
        GiveToNobody(folder);
        setup.folderRefused = true;
        break;
    case Hazard::OpenToOthers:
        chmod(folder.c_str(), 0777);
        break;
    case Hazard::Fifo:
    case Hazard::ReadOnlyFifo:
        if (named) {
            mkfifo(file.c_str(), 0600);
        }
        break;
    case Hazard::HardLink:
    case Hazard::ReadOnlyHardLink:
        if (named) {
            fs::create_hard_link(victim + "/" + pcVICTIM_FILE, file, ignored);
        }
        break;
    case Hazard::LinkToFile:
        if (named) {
            fs::create_symlink(victim + "/" + pcVICTIM_FILE, file);
        }
        break;
    case Hazard::DanglingLink:
        if (named) {
            fs::create_symlink(victim + "/missing", file);
        }
        break;
    case Hazard::ReadOnly:
        break;
    }
    if (hazard == Hazard::ReadOnly || hazard == Hazard::ReadOnlyFifo || hazard == Hazard::ReadOnlyHardLink) {
        locked = folder;
        setup.readOnly = true;
        if (geteuid() != 0) {
            chmod(folder.c_str(), 0500);
        } else if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                   mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            Require(false, "cannot make the export folder read-only");
        }
    }
}

Setup Environment::Arrange(const Scenario& s) {
    // Rewritten only when it changes: GIO watches the folder.
    if (s.companion && !fs::exists(entry)) {
        WriteEntry();
    } else if (!s.companion) {
        fs::remove(entry);
    }
    Reset();
    Setup setup;
    const std::string temp = TempFolderFor(Possible(s.tmp));
    if (temp.empty()) {
        return setup;
    }
    setup.exportFolder = temp + "/" + pcEXPORT_FOLDER;
    const Hazard hazard = Possible(s.hazard);
    if (s.folder == FolderState::Absent && hazard == Hazard::None) {
        return setup;
    }
    MakeFolder(setup.exportFolder, 0700);
    const std::string name = ExportName(s.filename, Classify(s.mode, s.depth, s.planes).format);
    const std::string file = name.empty() ? std::string() : FitPath(setup.exportFolder, name);
    if (s.folder == FolderState::StaleFile) {
        std::ofstream(setup.exportFolder + "/" + pcSTALE_FILE) << "stale";
    } else if (s.folder == FolderState::FolderNamedLikeTheFile) {
        fs::create_directory(file.empty() ? setup.exportFolder + "/" + pcPLANTED_FOLDER : file);
    }
    ApplyHazard(hazard, setup.exportFolder, file, setup);
    return setup;
}

void Environment::CheckOutside(const std::string& at) const {
    Require(FolderNames(victim) == std::set<std::string>{pcVICTIM_FILE} && IsRegularFile(victim + "/keep"),
            at + ": the victim's folder was changed");
    std::ifstream kept(victim + "/" + pcVICTIM_FILE);
    std::string text;
    std::getline(kept, text);
    Require(text == pcVICTIM_FILE, at + ": the victim's file was changed");
    Require(FolderNames(root + "/open").empty() && FolderNames(root + "/foreign").empty(),
            at + ": a temporary folder that is not the user's own was written to");
    const std::set<std::string> shared = FolderNames(root + "/shared");
    Require(shared.empty() || shared == std::set<std::string>{PrivateName()},
            at + ": the shared temporary folder holds more than the user's private folder");
    for (const std::string& temp : {root + "/tmp", root + "/fallback"}) {
        const std::set<std::string> names = FolderNames(temp);
        Require(names.empty() || names == std::set<std::string>{pcEXPORT_FOLDER},
                at + ": something was written into a temporary folder beside the export folder");
    }
    Require(FolderNames(root) ==
                std::set<std::string>{"data", "fallback", "foreign", "open", "shared", "tmp", "victim"},
            at + ": something was written into the scratch folder");
}

} // namespace fuzz

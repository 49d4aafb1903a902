// The fuzz target: one input is one host session (see Scenario.cpp for the layout). After every call it
// checks what no host behaviour, record or disk state may break: the result each selector must give, no
// descriptor and no locked handle left behind, no file outside the export folder, the regions asked for and
// the progress reported, and the export file byte for byte against an independent computation.
#include "Checks.h"
#include "Environment.h"
#include "Expected.h"
#include "FuzzHost.h"
#include "HostHandles.h"
#include "ProcessState.h"
#include "Scenario.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fuzz {
namespace {

namespace fs = std::filesystem;

constexpr int32_t iDATA_CAP = 0x80000;

std::string Describe(int16_t selector, size_t call) {
    return "call " + std::to_string(call) + " (selector " + std::to_string(selector) + ")";
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// A file the plug-in cannot remove when emptying the folder: a folder, a link to one, a dangling link.
bool StaysAtCleaning(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
}

// The export folder after Start, from its entries before: left as it was by a refused Start; else emptied of
// files (a read-only folder keeps them all), and the entry under the file's name replaced by the file when
// the export finished. The file is written under a temporary name until then, so a failed export leaves what
// the emptying could not remove and nothing of its own.
std::set<std::string> ExpectedEntries(const Setup& setup, const std::set<std::string>& before,
                                      const StartOutcome& o) {
    if (!o.cleaned || setup.readOnly) {
        return before;
    }
    std::set<std::string> after;
    for (const std::string& name : before) {
        if (StaysAtCleaning(setup.exportFolder + "/" + name)) {
            after.insert(name);
        }
    }
    if (!o.fileKept) {
        // Judged after the fact, a removed file no longer shows what it was: only what is still there counts.
        for (auto it = after.begin(); it != after.end();) {
            struct stat info {};
            it =
                lstat((setup.exportFolder + "/" + *it).c_str(), &info) == 0 ? std::next(it) : after.erase(it);
        }
        return after;
    }
    for (auto it = after.begin(); it != after.end();) {
        it = IsFolder(setup.exportFolder + "/" + *it) ? std::next(it) : after.erase(it);
    }
    after.insert(fs::path(o.path).filename().string());
    return after;
}

void CheckStart(const Scenario& s, const Setup& setup, const std::set<std::string>& before,
                const FuzzHost& host, int16_t result, const std::string& at) {
    const StartOutcome o = ExpectStart(s, setup);
    Require(result == o.result,
            at + ": Start gave " + std::to_string(result) + ", expected " + std::to_string(o.result));
    CheckRegions(host.Requests(), o.requests, at);
    CheckProgress(host.Progress(), o.progress, at);
    if (s.handles == HandleMode::LockFails || setup.exportFolder.empty() || setup.folderRefused) {
        return;
    }
    if (o.fileKept) {
        CheckFile(o, at);
    }
    Require(FolderNames(setup.exportFolder) == ExpectedEntries(setup, before, o),
            at + ": the export folder holds other entries than expected");
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
    } else if (!Exportable(s)) {
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

void CheckCall(const Scenario& s, const Setup& setup, const std::set<std::string>& entries,
               const FuzzHost& host, int16_t selector, const ExportRecord& before, int16_t result,
               const std::string& at) {
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
        CheckStart(s, setup, entries, host, result, at);
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

// The file-size limit holds for the Start call only: libFuzzer writes its own files between inputs.
class FileSizeLimit {
public:
    explicit FileSizeLimit(int32_t bytes) : active(bytes >= 0) {
        getrlimit(RLIMIT_FSIZE, &old);
        if (active) {
            const rlimit limit{rlim_t(bytes), old.rlim_max};
            Require(setrlimit(RLIMIT_FSIZE, &limit) == 0, "cannot set the file-size limit");
        }
    }
    ~FileSizeLimit() {
        if (active) {
            setrlimit(RLIMIT_FSIZE, &old);
        }
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    bool active;
    rlimit old{};
};

} // namespace
} // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Environment::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fuzz;
    Environment& env = Environment::Get();
    const Scenario s = Decode(data, size);
    const Setup setup = env.Arrange(s);
    {
        FuzzHost host(s);
        for (size_t call = 0; call < s.selectors.size(); ++call) {
            const int16_t selector = s.selectors[call];
            const std::string at = Describe(selector, call);
            const auto descriptors = host::OpenDescriptors();
            const std::set<std::string> entries = FolderNames(setup.exportFolder);
            const ExportRecord before = host.Record();
            host.ClearLog();
            int16_t result = 0;
            {
                const FileSizeLimit limit(selector == exportSelectorStart ? s.sizeLimit : -1);
                result = host.Call(selector);
            }
            const std::string descriptorChange =
                host::DescriptorDifference(descriptors, host::AwaitDescriptors(descriptors));
            Require(descriptorChange.empty(), at + ": " + descriptorChange);
            Require(host::handles::Locked() == 0, at + ": a handle was left locked");
            CheckCall(s, setup, entries, host, selector, before, result, at);
            env.CheckOutside(at);
        }
        if (s.handles != HandleMode::Host && s.handles != HandleMode::LockFails) {
            Require(host::handles::Live() == 0, "unusable handle routines were used");
        }
    }
    Require(host::handles::Live() == 0, "a handle of the host's outlived the session");
    return 0;
}

// The surroundings of one export under test: the loaded module, a private temporary folder and XDG data
// folders, and (in ExportScene) a companion that records whether it was started.
#ifndef QUENFIELD_TESTS_EXPORTSCENE_H
#define QUENFIELD_TESTS_EXPORTSCENE_H

#include "FakeCompanion.h"
#include "PluginModule.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace testhost {

// What a host leaves in theRect32 before a call, so that emptying it shows.
const VRect rcSTALE_REGION{1, 2, 3, 4};

inline bool IsEmpty(const VRect& r) {
    return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0;
}

// The loaded module and a private temporary folder and XDG data folders, with no companion registered.
class ExportFolders : public ::testing::Test {
protected:
    ExportFolders()
        : tmpdir("TMPDIR", MakeFolder(scratch.Join("tmp"))), dataHome("XDG_DATA_HOME", scratch.Join("data")),
          dataDirs("XDG_DATA_DIRS", scratch.Join("no-data")) {}

    static std::string MakeFolder(const std::string& path) {
        std::filesystem::create_directories(path);
        return path;
    }
    std::string Folder() const { return scratch.Join("tmp/QuenfieldImport"); }
    std::string FileOf(const std::string& name) const { return Folder() + "/" + name; }

    PluginModule module;
    testfiles::TempFolder scratch;
    testfiles::ScopedEnv tmpdir;
    testfiles::ScopedEnv dataHome;
    testfiles::ScopedEnv dataDirs;
};

class ExportScene : public ExportFolders {
protected:
    // A launch would have been recorded by now: the companion starts within milliseconds. A launcher still
    // there, started for a file that did not come, counts too.
    bool Launched() const {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return companion.Started() || !testfiles::ChildProcesses().empty();
    }

    // The launch's lookup begins with every export that opens its file, and GIO's first one sets up a watch
    // on the data folders (descriptors and a thread) that stays with the process: an export failed by the
    // host, which launches nothing, lets that happen before a test counts what an export leaves.
    void WarmUpLaunch() {
        TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "WarmUp"));
        host.FailAt(0, exportErrWriteFailed);
        host.Export(module);
    }

    testfiles::FakeCompanion companion{scratch.Join("data")};
};

} // namespace testhost

#endif

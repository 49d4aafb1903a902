// Faults of the disk and the host during an export, through the loaded module: whatever fails, the host gets
// the code for it, the file is closed, the region emptied, the globals unlocked and nothing is launched.
#include "ExportScene.h"
#include "FakeCompanion.h"
#include "HostSession.h"
#include "PluginModule.h"
#include "ProcessState.h"
#include "TestFiles.h"
#include "TestHandles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testhost::Document;
using testhost::HostSession;
using testhost::IsEmpty;
using testhost::rcSTALE_REGION;
using testhost::TestHost;

const uid_t uiNOBODY = 65534;

// Failures of checks made in a child, collected as text for the parent to report.
class Report {
public:
    void Expect(bool ok, const std::string& what) {
        if (!ok) {
            text += what + "; ";
        }
    }
    const std::string& Text() const { return text; }

private:
    std::string text;
};

// Root passes every permission check, so a read-only folder is tried as an ordinary user: the scratch tree
// is handed to nobody and the child becomes nobody.
std::string BecomeNobody(const std::string& tree) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(tree, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        lchown(it->path().c_str(), uiNOBODY, uiNOBODY);
    }
    if (lchown(tree.c_str(), uiNOBODY, uiNOBODY) != 0 || setgroups(0, nullptr) != 0 ||
        setgid(uiNOBODY) != 0 || setuid(uiNOBODY) != 0) {
        return "cannot become nobody";
    }
    // A process that changed its user loses access to its own /proc entries unless it stays dumpable.
    prctl(PR_SET_DUMPABLE, 1);
    return "";
}

class Fault : public testhost::ExportScene {};

TEST_F(Fault, ADiskThatFillsUpMidExportGivesWriteFailedAndClosesTheFile) {
    Document document(plugInModeRGBColor, 8, 3, 100, 10, "Full"); // 13 header bytes and 600 bytes a row
    document.FillPattern();
    const rlim_t limit = 2500;
    const std::string failures = testfiles::RunInChild([&] {
        // Beyond the limit write comes back short instead of the process being killed.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        Report report;
        report.Expect(setrlimit(RLIMIT_FSIZE, &fileSize) == 0, "cannot limit the file size");
        TestHost host(document);
        host.Record().theRect32 = rcSTALE_REGION;
        HostSession session(module, host);
        const auto before = testfiles::OpenDescriptors();
        const int16_t result = session.Export();
        report.Expect(result == exportErrWriteFailed, "result " + std::to_string(result));
        report.Expect(testfiles::OpenDescriptors() == before, "a descriptor was left open");
        report.Expect(host.Requests().size() == 5, "the export did not stop at the row that did not fit");
        report.Expect(fs::file_size(FileOf("Full.ppm")) == limit, "the file is not as full as the disk");
        report.Expect(IsEmpty(host.Record().theRect32), "the region was not emptied");
        report.Expect(testhandles::Locks(session.Globals()) == 0, "the globals were left locked");
        return report.Text();
    });
    EXPECT_EQ(failures, "");
    EXPECT_FALSE(Launched());
}

TEST_F(Fault, AFileNameTakenByAFolderGivesOpenFailed) {
    // A folder of the file's name survives the emptying of the export folder, and no user may open it for
    // writing, root included.
    fs::create_directories(FileOf("Taken.ppm"));
    TestHost host(Document(plugInModeRGBColor, 8, 3, 4, 2, "Taken"));
    host.Record().theRect32 = rcSTALE_REGION;
    HostSession session(module, host);
    const auto before = testfiles::OpenDescriptors();
    EXPECT_EQ(session.Export(), exportErrOpenFailed);
    EXPECT_EQ(testfiles::OpenDescriptors(), before);
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_TRUE(IsEmpty(host.Record().theRect32));
    EXPECT_EQ(testhandles::Locks(session.Globals()), 0);
    EXPECT_FALSE(Launched());
}

TEST_F(Fault, AReadOnlyExportFolderGivesOpenFailed) {
    MakeFolder(Folder());
    const std::string failures = testfiles::RunInChild([&] {
        Report report;
        if (geteuid() == 0) {
            report.Expect(BecomeNobody(scratch.Path()).empty(), "cannot leave root");
        }
        report.Expect(chmod(Folder().c_str(), 0500) == 0, "cannot make the folder read-only");
        TestHost host(Document(plugInModeGray16, 16, 1, 4, 2, "ReadOnly"));
        HostSession session(module, host);
        const auto before = testfiles::OpenDescriptors();
        const int16_t result = session.Export();
        report.Expect(result == exportErrOpenFailed, "result " + std::to_string(result));
        report.Expect(testfiles::OpenDescriptors() == before, "a descriptor was left open");
        report.Expect(!fs::exists(FileOf("ReadOnly.ppm")), "a file was created");
        report.Expect(host.Requests().empty(), "pixels were requested");
        return report.Text();
    });
    EXPECT_EQ(failures, "");
    EXPECT_FALSE(Launched());
}

TEST_F(Fault, AMissingParameterMidExportReleasesTheFileTheRegionAndTheGlobals) {
    Document document(plugInModeRGB96, 32, 3, 4, 3, "Thrown");
    TestHost host(document);
    host.NullDataAt(1);
    HostSession session(module, host);
    const auto before = testfiles::OpenDescriptors();
    EXPECT_EQ(session.Export(), exportErrMissingParameter);
    EXPECT_EQ(testfiles::OpenDescriptors(), before);
    EXPECT_TRUE(IsEmpty(host.Record().theRect32));
    EXPECT_EQ(testhandles::Locks(session.Globals()), 0);
    // The header and the first row, delivered before the fault.
    EXPECT_EQ(fs::file_size(FileOf("Thrown.pfm")), 15u + 4u * 12u);
    EXPECT_FALSE(Launched());
}

} // namespace

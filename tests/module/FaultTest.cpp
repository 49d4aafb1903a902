// Faults of the disk and the host during an export, through the loaded module: whatever fails, the host gets
// the code for it, the file is closed, the region emptied, the globals unlocked and nothing is launched.
#include "ChildProcess.h"
#include "ExportScene.h"
#include "FakeCompanion.h"
#include "HostHandles.h"
#include "HostSession.h"
#include "PluginModule.h"
#include "ProcessState.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testhost::Document;
using testhost::HostSession;
using testhost::IsEmpty;
using testhost::rcSTALE_REGION;
using testhost::TestHost;

class Fault : public testhost::ExportScene {
protected:
    Fault() { WarmUpLaunch(); }
};

bool SizeSignalBlockedOrPending() {
    sigset_t blocked;
    sigset_t pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
    sigpending(&pending);
    return sigismember(&blocked, SIGXFSZ) == 1 || sigismember(&pending, SIGXFSZ) == 1;
}

TEST_F(Fault, ADiskThatFillsUpMidExportGivesWriteFailedAndClosesTheFile) {
    Document document(plugInModeRGBColor, 8, 3, 100, 10, "Full"); // 13 header bytes and 600 bytes a row
    document.FillPattern();
    const rlim_t limit = 2500;
    const std::string failures = host::RunInChild([&] {
        // Beyond the limit write comes back short instead of the process being killed.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        host::ChildReport report;
        report.Expect(setrlimit(RLIMIT_FSIZE, &fileSize) == 0, "cannot limit the file size");
        TestHost host(document);
        host.Record().theRect32 = rcSTALE_REGION;
        HostSession session(module, host);
        const auto before = host::OpenDescriptors();
        const int16_t result = session.Export();
        report.Expect(result == exportErrWriteFailed, "result " + std::to_string(result));
        report.Expect(host::AwaitDescriptors(before) == before, "a descriptor was left open");
        report.Expect(host.Requests().size() == 5, "the export did not stop at the row that did not fit");
        report.Expect(!fs::exists(FileOf("Full.ppm")), "the partial file stayed");
        report.Expect(IsEmpty(host.Record().theRect32), "the region was not emptied");
        report.Expect(host::handles::Locks(session.Globals()) == 0, "the globals were left locked");
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
    const auto before = host::OpenDescriptors();
    EXPECT_EQ(session.Export(), exportErrOpenFailed);
    EXPECT_EQ(host::AwaitDescriptors(before), before);
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_TRUE(IsEmpty(host.Record().theRect32));
    EXPECT_EQ(host::handles::Locks(session.Globals()), 0);
    EXPECT_FALSE(Launched());
}

TEST_F(Fault, AReadOnlyExportFolderGivesOpenFailed) {
    MakeFolder(Folder());
    const std::string failures = host::RunInChild([&] {
        host::ChildReport report;
        if (geteuid() == 0) {
            report.Expect(host::BecomeNobody(scratch.Path()).empty(), "cannot leave root");
        }
        report.Expect(chmod(Folder().c_str(), 0500) == 0, "cannot make the folder read-only");
        TestHost host(Document(plugInModeGray16, 16, 1, 4, 2, "ReadOnly"));
        HostSession session(module, host);
        const auto before = host::OpenDescriptors();
        const int16_t result = session.Export();
        report.Expect(result == exportErrOpenFailed, "result " + std::to_string(result));
        report.Expect(host::AwaitDescriptors(before) == before, "a descriptor was left open");
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
    const auto before = host::OpenDescriptors();
    EXPECT_EQ(session.Export(), exportErrMissingParameter);
    EXPECT_EQ(host::AwaitDescriptors(before), before);
    EXPECT_TRUE(IsEmpty(host.Record().theRect32));
    EXPECT_EQ(host::handles::Locks(session.Globals()), 0);
    EXPECT_FALSE(fs::exists(FileOf("Thrown.pfm"))) << "the exception's way out leaves no file either";
    EXPECT_FALSE(Launched());
}

// A file-size limit is met by the write that reaches it, not by a signal: the host lives, gets -20, and no
// part of the file stays. The limit falls at every kind of place: before the first byte, inside the header,
// at its end, between two rows and inside a row.
TEST_F(Fault, AFileSizeLimitGivesWriteFailedNoSignalAndNoFile) {
    Document document(plugInModeRGBColor, 8, 3, 100, 10, "Limited"); // 16 header bytes and 600 bytes a row
    document.FillPattern();
    for (const rlim_t limit :
         {rlim_t(0), rlim_t(5), rlim_t(16), rlim_t(16 + 3 * 600), rlim_t(16 + 3 * 600 + 300)}) {
        const std::string failures = host::RunInChild([&] {
            host::ChildReport report;
            const rlimit fileSize{limit, RLIM_INFINITY};
            report.Expect(setrlimit(RLIMIT_FSIZE, &fileSize) == 0, "cannot limit the file size");
            TestHost host(document);
            const int16_t result = host.Export(module);
            report.Expect(result == exportErrWriteFailed, "result " + std::to_string(result));
            report.Expect(!fs::exists(FileOf("Limited.ppm")), "the partial file stayed");
            report.Expect(!SizeSignalBlockedOrPending(), "SIGXFSZ left blocked or pending");
            return report.Text();
        });
        EXPECT_EQ(failures, "") << "limit " << limit;
    }
    EXPECT_FALSE(Launched());
}

// A disk that fills up: the space the partial file took is given back.
TEST_F(Fault, AFullDiskGivesWriteFailedAndItsSpaceBack) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small file system";
    }
    Document document(plugInModeRGB48, 16, 3, 200, 100, "Full"); // 120 kB, four times the disk
    document.FillPattern();
    const std::string tmp = scratch.Join("tmp");
    const std::string failures = host::RunInChild([&] {
        host::ChildReport report;
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", tmp.c_str(), "tmpfs", 0, "size=32k,mode=0700") != 0) {
            return std::string("skip: cannot mount a small file system here");
        }
        fs::create_directories(Folder());
        chmod(Folder().c_str(), 0700);
        struct statvfs before {};
        statvfs(tmp.c_str(), &before);
        TestHost host(document);
        const int16_t result = host.Export(module);
        report.Expect(result == exportErrWriteFailed, "result " + std::to_string(result));
        report.Expect(!fs::exists(FileOf("Full.ppm")), "the partial file stayed");
        struct statvfs after {};
        statvfs(tmp.c_str(), &after);
        report.Expect(after.f_bfree == before.f_bfree, "the disk stayed full");
        return report.Text();
    });
    if (failures.rfind("skip:", 0) == 0) {
        GTEST_SKIP() << failures;
    }
    EXPECT_EQ(failures, "");
    EXPECT_FALSE(Launched());
}

struct StaleEntry {
    const char* what;
    // Plants the entry under the file's name; other is a file of another name, outside the folder.
    std::function<void(const std::string& file, const std::string& other)> plant;
    bool readOnlyFolder;
    int16_t result;
};

// Whatever holds the export file's name, the file is made anew or not at all: no open blocks, no other name
// is written through a link, and an entry that cannot be removed fails the export with -23. Run as an
// ordinary user, so that a read-only folder means what it says.
TEST_F(Fault, AStaleEntryUnderTheFileNameIsReplacedOrFailsTheExport) {
    const auto fifo = [](const std::string& file, const std::string&) { mkfifo(file.c_str(), 0600); };
    const auto hardLink = [](const std::string& file, const std::string& other) {
        fs::create_hard_link(other, file);
    };
    const auto link = [](const std::string& file, const std::string& other) {
        fs::create_symlink(other, file);
    };
    const auto linkToFolder = [](const std::string& file, const std::string& other) {
        fs::create_symlink(fs::path(other).parent_path(), file);
    };
    const auto dangling = [](const std::string& file, const std::string& other) {
        fs::create_symlink(other + ".missing", file);
    };
    const auto folder = [](const std::string& file, const std::string&) {
        fs::create_directories(file);
        testfiles::WriteText(file + "/inner", "inner");
    };
    const auto plainFile = [](const std::string& file, const std::string&) {
        testfiles::WriteText(file, "stale");
    };
    const StaleEntry cases[] = {
        {"a FIFO", fifo, false, exportNoErr},
        {"a FIFO in a read-only folder", fifo, true, exportErrOpenFailed},
        {"a hard link", hardLink, false, exportNoErr},
        {"a hard link in a read-only folder", hardLink, true, exportErrOpenFailed},
        {"a link to a file in a read-only folder", link, true, exportErrOpenFailed},
        {"a link to a folder", linkToFolder, false, exportNoErr},
        {"a dangling link", dangling, false, exportNoErr},
        {"a folder", folder, false, exportErrOpenFailed},
        {"a file in a read-only folder", plainFile, true, exportErrOpenFailed},
    };
    Document document(plugInModeGray16, 16, 1, 4, 2, "Stale");
    document.FillPattern();
    const std::string file = FileOf("Stale.ppm");
    const std::string other = scratch.Join("other/precious.txt");
    const std::string failures = host::RunInChild([&] {
        // An open that blocks ends the child, and the test with it.
        alarm(20);
        host::ChildReport report;
        if (geteuid() == 0) {
            report.Expect(host::BecomeNobody(scratch.Path()).empty(), "cannot leave root");
        }
        for (const StaleEntry& c : cases) {
            const std::string at = std::string(c.what) + ": ";
            fs::remove_all(scratch.Join("other"));
            fs::create_directories(scratch.Join("other"));
            testfiles::WriteText(other, "precious");
            std::error_code absent;
            fs::permissions(Folder(), fs::perms::owner_all, absent);
            fs::remove_all(Folder());
            fs::create_directories(Folder());
            c.plant(file, other);
            struct stat planted {};
            lstat(file.c_str(), &planted);
            if (c.readOnlyFolder) {
                chmod(Folder().c_str(), 0500);
            }
            TestHost host(document);
            const int16_t result = host.Export(module);
            report.Expect(result == c.result, at + "result " + std::to_string(result));
            report.Expect(testfiles::ReadText(other) == "precious", at + "the other name's file changed");
            std::vector<std::string> beside;
            for (const auto& entry : fs::directory_iterator(scratch.Join("other"))) {
                beside.push_back(entry.path().filename().string());
            }
            report.Expect(beside == std::vector<std::string>{"precious.txt"},
                          at + "something was added beside the other name");
            struct stat now {};
            const bool present = lstat(file.c_str(), &now) == 0;
            if (c.result == exportNoErr) {
                report.Expect(present && S_ISREG(now.st_mode) && now.st_nlink == 1 &&
                                  testfiles::ReadBytes(file) == testhost::ExpectedFile(document),
                              at + "the export file is not a new regular file with the document");
            } else {
                report.Expect(present && now.st_ino == planted.st_ino && now.st_mode == planted.st_mode,
                              at + "the entry was changed");
            }
        }
        fs::permissions(Folder(), fs::perms::owner_all);
        return report.Text();
    });
    EXPECT_EQ(failures, "");
}

} // namespace

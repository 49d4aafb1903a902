// Someone who can rename entries beside the export folder swaps it with a link to another folder, over and
// over, while exports run: whatever the timing, only the folder that was checked is emptied and written to.
#include "ExportScene.h"
#include "ProcessState.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testhost::Document;
using testhost::TestHost;

const int iEXPORTS = 200;
const int iVICTIM_FILES = 20;

class FolderRace : public testhost::ExportScene {
protected:
    // The swapping side, as the exporting side's user: in a folder of that user's, only that user (or root)
    // can rename entries.
    pid_t StartSwapping(const std::string& link) const {
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && !testfiles::BecomeNobody(scratch.Path()).empty()) {
                _exit(1);
            }
            const std::string folder = Folder();
            for (;;) {
                renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
            }
        }
        return child;
    }
};

TEST_F(FolderRace, AFolderSwappedForALinkAfterTheCheckLeavesTheLinkedFolderAlone) {
    const std::string victim = MakeFolder(scratch.Join("victim"));
    for (int i = 0; i < iVICTIM_FILES; ++i) {
        testfiles::WriteText(victim + "/file-" + std::to_string(i), "precious " + std::to_string(i));
    }
    MakeFolder(Folder());
    const std::string link = scratch.Join("tmp/decoy");
    fs::create_symlink(victim, link);

    const pid_t swapper = StartSwapping(link);
    ASSERT_NE(swapper, -1);
    const std::string failures = testfiles::RunInChild([&] {
        alarm(120);
        testfiles::Report report;
        if (geteuid() == 0) {
            report.Expect(testfiles::BecomeNobody(scratch.Path()).empty(), "cannot leave root");
        }
        // No companion: a finished export answers -30901 at once instead of starting a program 200 times.
        testfiles::ScopedEnv noCompanion("XDG_DATA_HOME", scratch.Join("no-data"));
        std::map<int16_t, int> results;
        Document document(plugInModeRGBColor, 8, 3, 3, 2, "Race");
        for (int i = 0; i < iEXPORTS; ++i) {
            TestHost host(document);
            ++results[host.Export(module)];
        }
        std::string counts;
        for (const auto& [result, count] : results) {
            counts += std::to_string(result) + " x" + std::to_string(count) + " ";
        }
        // Finished, or the link met at the check; both happen, or the race was not run.
        report.Expect(results.size() == 2 && results[exportErrCompanionNotLaunched] > 0 &&
                          results[exportErrParam] > 0,
                      "results " + counts);
        return report.Text();
    });
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);
    EXPECT_EQ(failures, "");

    std::map<std::string, std::string> left;
    for (const auto& entry : fs::directory_iterator(victim)) {
        left[entry.path().filename().string()] = testfiles::ReadText(entry.path().string());
    }
    std::map<std::string, std::string> expected;
    for (int i = 0; i < iVICTIM_FILES; ++i) {
        expected["file-" + std::to_string(i)] = "precious " + std::to_string(i);
    }
    EXPECT_EQ(left, expected);
}

} // namespace

// Someone who can rename entries beside the export folder swaps it with a link to another folder, over and
// over, while exports run: whatever the timing, only the folder that was checked is emptied and written to.
#include "ChildProcess.h"
#include "ExportScene.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <map>
#include <numeric>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testhost::Document;
using testhost::TestHost;

const int iEXPORTS = 2000;
const int iFINISHED = 1500;
const int iFINISHED_AT_LEAST = 20;
const int iVICTIM_FILES = 20;

class FolderRace : public testhost::ExportScene {
protected:
    // The swapping side, as the exporting side's user: in a folder of that user's, only that user (or root)
    // can rename entries.
    pid_t StartSwapping(const std::string& link) const {
        const pid_t child = fork();
        if (child == 0) {
            // Never outlives the test, however the test ends.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (geteuid() == 0 && !host::BecomeNobody(scratch.Path()).empty()) {
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
    const std::string failures = host::RunInChild([&] {
        alarm(120);
        host::ChildReport report;
        if (geteuid() == 0) {
            report.Expect(host::BecomeNobody(scratch.Path()).empty(), "cannot leave root");
        }
        // No companion: a finished export answers -30901 at once instead of starting a program thousands of
        // times.
        testfiles::ScopedEnv noCompanion("XDG_DATA_HOME", scratch.Join("no-data"));
        // At least 2000 exports, and on until enough of them met the real folder at the check (rather than
        // the link) to be emptied and written to, or for a few seconds on a machine too busy for that.
        std::map<int16_t, int> results;
        Document document(plugInModeRGBColor, 8, 3, 3, 2, "Race");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        for (int i = 0; i < iEXPORTS || (results[exportErrCompanionNotLaunched] < iFINISHED &&
                                         std::chrono::steady_clock::now() < end);
             ++i) {
            TestHost host(document);
            ++results[host.Export(module)];
        }
        std::string counts;
        for (const auto& [result, count] : results) {
            counts += std::to_string(result) + " x" + std::to_string(count) + " ";
        }
        // Finished (without a companion), or refused because the link was met at the check.
        report.Expect(results[exportErrCompanionNotLaunched] >= iFINISHED_AT_LEAST &&
                          results[exportErrCompanionNotLaunched] + results[exportErrParam] ==
                              std::accumulate(results.begin(), results.end(), 0,
                                              [](int sum, const auto& entry) { return sum + entry.second; }),
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

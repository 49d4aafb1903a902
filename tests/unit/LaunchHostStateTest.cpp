// What starting the companion asks of the host's process. It leaves the host's memory alone: a fork, even one
// followed at once by exec, marks every page the host has written copy-on-write, and the host's next write to
// each page then faults, which tells a copied address space from a shared one without timing anything. And
// it needs nothing of the host's signal dispositions.
#include "FakeCompanion.h"
#include "TestFiles.h"
#include "platform/Error.h"
#include "platform/Launch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const size_t kBytes = size_t(64) << 20;
const std::chrono::milliseconds kLimit = 300ms;

// The launcher, started as the export begins, once it is there.
pid_t AwaitLauncher() {
    for (int i = 0; i < 1000; ++i) {
        const std::vector<pid_t> children = testfiles::ChildProcesses();
        if (!children.empty()) {
            return children.front();
        }
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

// Gone, or a zombie of whoever reaps orphans here.
bool Ended(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        const std::string stat = testfiles::ReadText("/proc/" + std::to_string(pid) + "/stat");
        if (stat.empty() || stat.substr(stat.rfind(')') + 2, 1) == "Z") {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

class LaunchHostState : public ::testing::Test {
protected:
    LaunchHostState()
        : noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt), runtime("XDG_RUNTIME_DIR", scratch.Path()),
          dataHome("XDG_DATA_HOME", scratch.Join("data")), dataDirs("XDG_DATA_DIRS", scratch.Join("no-data")),
          companion(scratch.Join("data")) {
        testfiles::WriteText(file, "P6\n1 1\n65535\n......");
    }

    testfiles::TempFolder scratch;
    testfiles::ScopedEnv noBus;
    testfiles::ScopedEnv runtime;
    testfiles::ScopedEnv dataHome;
    testfiles::ScopedEnv dataDirs;
    testfiles::FakeCompanion companion;
    const std::string file = scratch.Join("Launched.ppm");
};

TEST_F(LaunchHostState, TheHostsTouchedPagesAreNotCopied) {
    // Small pages, so that a copy would cost one fault per page.
    void* memory = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    madvise(memory, kBytes, MADV_NOHUGEPAGE);
    auto* bytes = static_cast<volatile char*>(memory);
    std::memset(memory, 1, kBytes);

    EXPECT_EQ(_sys::StartApplication(file), eERROR_NONE);
    EXPECT_TRUE(companion.WaitForArguments().has_value());
    const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const long before = MinorFaults();
    for (size_t offset = 0; offset < kBytes; offset += pageSize) {
        bytes[offset] = 2;
    }
    const long faults = MinorFaults() - before;
    munmap(memory, kBytes);
    EXPECT_LT(faults, static_cast<long>(kBytes / pageSize / 16)) << "of " << kBytes / pageSize << " pages";
}

// The kernel then reaps the launcher itself, and its status is gone.
TEST_F(LaunchHostState, AHostThatIgnoresSigchldStillHearsTheLaunchSucceed) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGCHLD, &ignore, &previous);
    const int16_t result = _sys::StartApplication(file);
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(result, eERROR_NONE);
    EXPECT_TRUE(companion.WaitForArguments().has_value());
}

struct Ending {
    const char* what;
    std::chrono::milliseconds write; // from the launch's beginning to the file's publication
    bool published;
};

// The launch begins with the export and starts the companion once the file is published, however long the
// write took; an export that ends without its file starts nothing and leaves no process.
TEST_F(LaunchHostState, APreparedLaunchStartsOnlyOnceTheFileIsPublished) {
    const Ending endings[] = {
        {"abandoned with its launcher waiting", 0ms, false},
        {"published after the whole limit and the start's own time", kLimit + 2500ms, true},
    };
    for (const Ending& ending : endings) {
        testfiles::TempFolder data;
        testfiles::ScopedEnv home("XDG_DATA_HOME", data.Path());
        testfiles::FakeCompanion fresh(data.Path());
        {
            _sys::CCompanionStart start(file, kLimit);
            ASSERT_NE(AwaitLauncher(), 0) << ending.what;
            std::this_thread::sleep_for(ending.write);
            if (ending.published) {
                EXPECT_EQ(start.Start(), eERROR_NONE) << ending.what;
            }
        }
        EXPECT_TRUE(testfiles::ChildProcesses().empty()) << ending.what << ": the launcher was reaped";
        if (ending.published) {
            ASSERT_TRUE(fresh.WaitForArguments().has_value()) << ending.what;
            EXPECT_EQ(fresh.Descriptors(), (std::vector<std::string>{"0:null", "1:null", "2:null"}))
                << "the go-ahead's pipe is not the companion's";
        } else {
            std::this_thread::sleep_for(300ms);
            EXPECT_FALSE(fresh.Started()) << ending.what;
        }
    }
}

// The launcher of a host that ends mid-export reads the end of its go-ahead's pipe and ends too.
TEST_F(LaunchHostState, ALauncherWhoseHostDiesStartsNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: GLib's threads do not survive a fork
    // Named after this process: the test's body runs afresh in the dying one, with a scratch folder of its
    // own.
    const auto pidFile = [](pid_t host) { return "/tmp/quenfield-launcher-of-" + std::to_string(host); };
    EXPECT_EXIT(
        {
            _sys::CCompanionStart start(file);
            std::ofstream(pidFile(getppid())) << AwaitLauncher();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const pid_t pid = std::stoi("0" + testfiles::ReadText(pidFile(getpid())));
    std::remove(pidFile(getpid()).c_str());
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(Ended(pid));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(companion.Started());
}

} // namespace

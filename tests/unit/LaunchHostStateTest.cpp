// What starting the companion asks of the host's process. It leaves the host's memory alone: a fork, even one
// followed at once by exec, marks every page the host has written copy-on-write, and the host's next write to
// each page then faults, which tells a copied address space from a shared one without timing anything. And
// it needs nothing of the host's signal dispositions.
#include "FakeCompanion.h"
#include "TestFiles.h"
#include "platform/Error.h"
#include "platform/Launch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const size_t kBytes = size_t(64) << 20;

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

} // namespace

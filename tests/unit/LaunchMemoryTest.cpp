// Starting the companion leaves the host's memory alone. A fork, even one followed at once by exec, marks
// every page the host has written copy-on-write, and the host's next write to each page then faults: those
// faults tell a copied address space from a shared one without timing anything.
#include "FakeCompanion.h"
#include "TestFiles.h"
#include "platform/Error.h"
#include "platform/Launch.h"

#include <gtest/gtest.h>

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

TEST(LaunchMemory, TheHostsTouchedPagesAreNotCopied) {
    testfiles::TempFolder scratch;
    testfiles::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    testfiles::ScopedEnv runtime("XDG_RUNTIME_DIR", scratch.Path());
    testfiles::ScopedEnv dataHome("XDG_DATA_HOME", scratch.Join("data"));
    testfiles::ScopedEnv dataDirs("XDG_DATA_DIRS", scratch.Join("no-data"));
    testfiles::FakeCompanion companion(scratch.Join("data"));
    const std::string file = scratch.Join("Large.ppm");
    testfiles::WriteText(file, "P6\n1 1\n65535\n......");
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

} // namespace

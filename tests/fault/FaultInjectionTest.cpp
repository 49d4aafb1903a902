// Faults that only the process itself can inject: the conversion buffer's allocation failing and the export
// file's close failing, seen through the loaded module.
#include "Faults.h"

#include "DataGlobal.h"
#include "ExportScene.h"
#include "FakeCompanion.h"
#include "HostHandles.h"
#include "HostSession.h"
#include "PluginModule.h"
#include "ProcessState.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// The smallest conversion buffer holds 90,000 bytes of samples; nothing else an export allocates comes near.
const size_t uiBUFFER_BYTES = 65536;

class FaultInjection : public testhost::ExportScene {
protected:
    FaultInjection() { WarmUpLaunch(); }
    ~FaultInjection() override {
        faults::FailAllocationsFrom(0);
        faults::FailClosesUnder("");
    }
};

struct BufferCase {
    int16_t mode;
    int16_t depth;
    const char* file;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const BufferCase& c, std::ostream* os) {
    *os << "mode " << c.mode << ", depth " << c.depth << ", " << c.file;
}

class NoMemoryForTheBuffer : public FaultInjection, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(NoMemoryForTheBuffer, GivesNoMemoryAndReleasesEverything) {
    const BufferCase c = GetParam();
    testhost::TestHost host(testhost::Document(c.mode, c.depth, 3, 8, 2, "NoMemory"));
    host.Record().theRect32 = testhost::rcSTALE_REGION;
    testhost::HostSession session(module, host);
    ASSERT_EQ(session.Call(exportSelectorPrepare), exportNoErr);
    const auto before = host::OpenDescriptors();

    faults::FailAllocationsFrom(uiBUFFER_BYTES);
    const int16_t result = session.Call(exportSelectorStart);
    faults::FailAllocationsFrom(0);

    EXPECT_EQ(result, exportErrNoMemory);
    EXPECT_EQ(faults::FailedAllocations(), 1u) << "the buffer's allocation was not the one that failed";
    EXPECT_EQ(host::AwaitDescriptors(before), before);
    EXPECT_TRUE(testhost::IsEmpty(host.Record().theRect32));
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_FALSE(fs::exists(Folder() + "/" + c.file)) << "opened, then removed";
    ASSERT_EQ(host::handles::Locks(session.Globals()), 0);
    const HandleProcs* procs = host.Record().handleProcs;
    const auto* globals = static_cast<const SGlobals*>(procs->lockProc(session.Globals(), false));
    ASSERT_NE(globals, nullptr);
    EXPECT_EQ(globals->iFile, -1);
    EXPECT_EQ(globals->pBuffer, nullptr);
    procs->unlockProc(session.Globals());
    EXPECT_FALSE(Launched());
}

INSTANTIATE_TEST_SUITE_P(EveryBuffer, NoMemoryForTheBuffer,
                         ::testing::Values(BufferCase{plugInModeRGBColor, 8, "NoMemory.ppm"},
                                           BufferCase{plugInModeRGB48, 16, "NoMemory.ppm"},
                                           BufferCase{plugInModeRGB96, 32, "NoMemory.pfm"}),
                         [](const ::testing::TestParamInfo<BufferCase>& info) {
                             return "Depth" + std::to_string(info.param.depth);
                         });

TEST_F(FaultInjection, AFailedCloseIsAWriteErrorRemovesTheFileAndLaunchesNothing) {
    testhost::Document document(plugInModeGray16, 16, 2, 5, 3, "Unclosed");
    document.FillPattern();
    testhost::TestHost host(document);
    testhost::HostSession session(module, host);
    const auto before = host::OpenDescriptors();

    faults::FailClosesUnder(Folder() + "/");
    const int16_t result = session.Export();
    faults::FailClosesUnder("");

    EXPECT_EQ(result, exportErrWriteFailed);
    EXPECT_EQ(faults::FailedCloses(), 1u);
    EXPECT_EQ(host::AwaitDescriptors(before), before) << "the descriptor is gone all the same";
    EXPECT_TRUE(fs::is_empty(Folder())) << "the disk may have lost what close reported";
    EXPECT_TRUE(testhost::IsEmpty(host.Record().theRect32));
    EXPECT_FALSE(Launched());
}

} // namespace

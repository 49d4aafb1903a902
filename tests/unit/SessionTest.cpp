// The first-error rule and the phases' own checks, on globals built in the test.
#include "DataGlobal.h"
#include "ExportPhases.h"
#include "PluginMain.h"
#include "ThrownCode.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&record, 0, sizeof record);
        globals.rHead.pResult = &result;
        globals.rHead.pExportRecord = &record;
        globals.iFile = -1;
        globals.pBuffer = nullptr;
        std::memset(globals.aPath, 0, sizeof globals.aPath);
    }
    ExportRecord record{};
    SGlobals globals{};
    int16_t result = 0;
};

TEST_F(Session, CheckStoreKeepsTheFirstErrorAndReportsEachStep) {
    EXPECT_TRUE(CheckStore(&globals, 0));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(CheckStore(&globals, -50));
    EXPECT_FALSE(CheckStore(&globals, -20));
    EXPECT_EQ(result, -50);
    EXPECT_TRUE(CheckStore(&globals, 0)) << "a later success is still a success for its step";
    EXPECT_EQ(result, -50);
}

TEST_F(Session, CheckStoreWithoutGlobalsThrows) {
    EXPECT_EQ(ThrownCode([] { CheckStore(nullptr, 0); }), eERROR_MISSING_PARAMETER);
}

TEST_F(Session, SetExportFinishedEmptiesOnlyTheThirtyTwoBitRegion) {
    record.theRect32 = VRect{1, 2, 3, 4};
    record.theRect = Rect{1, 2, 3, 4};
    EXPECT_EQ(SetExportFinished(&globals), 0);
    EXPECT_EQ(record.theRect32.top + record.theRect32.left + record.theRect32.bottom + record.theRect32.right,
              0);
    EXPECT_EQ(record.theRect.bottom, 3);
}

TEST_F(Session, SetExportFinishedReportsRatherThanThrows) {
    EXPECT_EQ(SetExportFinished(nullptr), eERROR_PARAM);
    globals.rHead.pExportRecord = nullptr;
    EXPECT_EQ(SetExportFinished(&globals), eERROR_PARAM);
}

TEST_F(Session, PhasesAndChecksRequireTheirPointers) {
    globals.rHead.pExportRecord = nullptr;
    for (auto phase :
         {DispatchExportPrepare, DispatchExportStart, DispatchExportContinue, DispatchExportFinish}) {
        EXPECT_EQ(ThrownCode([&] { phase(nullptr); }), eERROR_MISSING_PARAMETER);
        EXPECT_EQ(ThrownCode([&] { phase(&globals); }), eERROR_MISSING_PARAMETER);
    }
    EXPECT_EQ(ThrownCode([] { CheckEnvironment(nullptr); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([] { CheckMode(nullptr); }), eERROR_MISSING_PARAMETER);
    EXPECT_EQ(ThrownCode([&] { SetExportFile(&globals); }), eERROR_MISSING_PARAMETER);
}

TEST_F(Session, ContinueAlwaysEndsWithParamError) {
    record.theRect32 = VRect{0, 0, 1, 1};
    DispatchExportContinue(&globals);
    EXPECT_EQ(result, eERROR_PARAM);
    EXPECT_EQ(record.theRect32.bottom, 0);
}

TEST_F(Session, InitialisedGlobalsHaveNoFileNoBufferAndAnEmptyPath) {
    std::memset(&globals.iFile, 0x5A, sizeof(SGlobals) - offsetof(SGlobals, iFile));
    result = 7;
    CB_InitGlobals(&globals);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(globals.iFile, -1);
    EXPECT_EQ(globals.pBuffer, nullptr);
    for (char c : globals.aPath) {
        ASSERT_EQ(c, '\0');
    }
}

} // namespace

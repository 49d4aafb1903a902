#include "sdk/HostUtilities.h"
#include "HostHandles.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <string>

namespace {

struct UsableCase {
    std::string name;
    std::function<void(HandleProcs&)> spoil;
    bool usable;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const UsableCase& c, std::ostream* os) {
    *os << c.name;
}

class HandleProcsUsable : public ::testing::TestWithParam<UsableCase> {};

TEST_P(HandleProcsUsable, FollowsVersionCountAndTheFirstFourRoutines) {
    HandleProcs procs = host::handles::Table();
    GetParam().spoil(procs);
    EXPECT_EQ(HostHandleProcsAvailable(&procs), GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HandleProcsUsable,
    ::testing::Values(UsableCase{"complete", [](HandleProcs&) {}, true},
                      UsableCase{"version0", [](HandleProcs& p) { p.handleProcsVersion = 0; }, false},
                      UsableCase{"versionNegative", [](HandleProcs& p) { p.handleProcsVersion = -1; }, false},
                      UsableCase{"version2", [](HandleProcs& p) { p.handleProcsVersion = 2; }, false},
                      UsableCase{"sevenRoutines", [](HandleProcs& p) { p.numHandleProcs = 7; }, false},
                      UsableCase{"countAsUnsigned", [](HandleProcs& p) { p.numHandleProcs = -1; }, true},
                      UsableCase{"noNew", [](HandleProcs& p) { p.newProc = nullptr; }, false},
                      UsableCase{"noDispose", [](HandleProcs& p) { p.disposeProc = nullptr; }, false},
                      UsableCase{"noGetSize", [](HandleProcs& p) { p.getSizeProc = nullptr; }, false},
                      UsableCase{"noSetSize", [](HandleProcs& p) { p.setSizeProc = nullptr; }, false},
                      UsableCase{"noLockIsNotTested", [](HandleProcs& p) { p.lockProc = nullptr; }, true}),
    [](const ::testing::TestParamInfo<UsableCase>& info) { return info.param.name; });

TEST(HandleProcsUsable, NullTableIsNotUsable) {
    EXPECT_FALSE(HostHandleProcsAvailable(nullptr));
}

struct Head {
    SGlobalsHead rHead;
    int iInitialised;
};

void Init(void* block) {
    static_cast<Head*>(block)->iInitialised += 1;
}

Head* Allocate(int16_t* result, ExportRecord* record, HandleProcs* procs, intptr_t* slot) {
    return reinterpret_cast<Head*>(AllocateGlobals(result, record, procs, sizeof(Head), slot, Init));
}

TEST(AllocateGlobals, FirstCallCreatesAndInitialisesLaterCallsOnlyRelock) {
    HandleProcs procs = host::handles::Table();
    intptr_t slot = 0;
    int16_t result = 99;
    ExportRecord paramBlock{};
    Head* head = Allocate(&result, &paramBlock, &procs, &slot);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(head->rHead.pResult, &result);
    EXPECT_EQ(head->rHead.pExportRecord, &paramBlock);
    EXPECT_EQ(head->iInitialised, 1);
    ASSERT_NE(slot, 0);
    HostUnlockHandle(&procs, reinterpret_cast<Handle>(slot));

    int16_t second = 5;
    ExportRecord otherBlock{};
    head = Allocate(&second, &otherBlock, &procs, &slot);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->rHead.pResult, &second);
    EXPECT_EQ(head->rHead.pExportRecord, &otherBlock);
    EXPECT_EQ(head->iInitialised, 1) << "the initialiser runs once";
    EXPECT_EQ(host::handles::Locks(reinterpret_cast<Handle>(slot)), 1);
    HostUnlockHandle(&procs, reinterpret_cast<Handle>(slot));
    HostDisposeHandle(&procs, reinterpret_cast<Handle>(slot));
}

TEST(AllocateGlobals, FallbackHandlesWorkWithoutHostRoutines) {
    intptr_t slot = 0;
    int16_t result = 1;
    ExportRecord paramBlock{};
    Head* head = Allocate(&result, &paramBlock, nullptr, &slot);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->iInitialised, 1);
    HostUnlockHandle(nullptr, reinterpret_cast<Handle>(slot));
    EXPECT_EQ(Allocate(&result, &paramBlock, nullptr, &slot), head);
    HostUnlockHandle(nullptr, reinterpret_cast<Handle>(slot));
    HostDisposeHandle(nullptr, reinterpret_cast<Handle>(slot));
}

TEST(AllocateGlobals, FailedCreationLeavesTheSlotEmpty) {
    HandleProcs procs = host::handles::Table();
    procs.newProc = [](int32_t) -> Handle { return nullptr; };
    intptr_t slot = 0;
    int16_t result = 0;
    EXPECT_EQ(AllocateGlobals(&result, nullptr, &procs, 16, &slot, Init), nullptr);
    EXPECT_EQ(slot, 0);
}

} // namespace

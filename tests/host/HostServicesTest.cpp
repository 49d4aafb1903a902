// The handles and suites the host hands to plug-ins.
#include "BasicSuite.h"
#include "HostHandles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using host::handles::Procs;

TEST(HostHandles, BlocksKeepTheirContentsAcrossResizesAndAreCounted) {
    HandleProcs* procs = Procs();
    ASSERT_EQ(procs->handleProcsVersion, exportHandleProcsVersion);
    ASSERT_EQ(procs->numHandleProcs, exportHandleProcsCount);
    const int32_t before = procs->countProc();
    Handle h = procs->newProc(4);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(procs->countProc(), before + 1);
    std::memcpy(procs->lockProc(h, 0), "abcd", 4);
    // Resizing a locked handle would move the block under the plug-in's feet.
    EXPECT_EQ(procs->setSizeProc(h, 8), exportErrNoMemory);
    procs->unlockProc(h);
    ASSERT_EQ(procs->setSizeProc(h, 8), exportNoErr);
    EXPECT_EQ(procs->getSizeProc(h), 8);
    EXPECT_EQ(std::memcmp(procs->lockProc(h, 1), "abcd", 4), 0);
    procs->unlockProc(h);
    procs->disposeProc(h);
    EXPECT_EQ(procs->countProc(), before);
    EXPECT_FALSE(procs->validProc(h));
}

TEST(HostHandles, ForeignAndDisposedHandlesAreRefusedHarmlessly) {
    HandleProcs* procs = Procs();
    int notAHandle = 0;
    Handle foreign = reinterpret_cast<Handle>(&notAHandle);
    EXPECT_EQ(procs->lockProc(foreign, 0), nullptr);
    EXPECT_EQ(procs->getSizeProc(foreign), 0);
    EXPECT_EQ(procs->setSizeProc(foreign, 1), exportErrNoMemory);
    procs->disposeProc(foreign);
    procs->disposeProc(nullptr);
    EXPECT_EQ(procs->newProc(-1), nullptr);
    Handle empty = procs->newProc(0);
    EXPECT_NE(procs->lockProc(empty, 0), nullptr);
    procs->disposeProc(empty);
}

// The fuzz host kinds each spoil one thing of the host's table and hand out the same handles.
TEST(HostHandles, EachOfferedKindSpoilsOneThing) {
    using fuzz::HandleMode;
    EXPECT_EQ(host::handles::Offered(HandleMode::Host), Procs());
    EXPECT_EQ(host::handles::Offered(HandleMode::None), nullptr);
    EXPECT_EQ(host::handles::Offered(HandleMode::WrongVersion)->handleProcsVersion, 2);
    EXPECT_EQ(host::handles::Offered(HandleMode::TooFewRoutines)->numHandleProcs, 7);
    HandleProcs* lockless = host::handles::Offered(HandleMode::LockFails);
    host::handles::ResetCreated();
    Handle h = lockless->newProc(1);
    EXPECT_EQ(host::handles::Created(), 1);
    EXPECT_EQ(lockless->lockProc(h, 0), nullptr);
    ASSERT_NE(Procs()->lockProc(h, 0), nullptr) << "the handle is the host's own";
    EXPECT_EQ(host::handles::Locked(), 1);
    Procs()->unlockProc(h);
    Procs()->disposeProc(h);
}

TEST(HostHandles, AnUnlockWithoutALockIsReported) {
    static std::string reported;
    host::handles::OnMisuse([](const char* what) { reported = what; });
    Handle h = Procs()->newProc(1);
    Procs()->unlockProc(h);
    host::handles::OnMisuse(nullptr);
    Procs()->disposeProc(h);
    EXPECT_EQ(reported, "unlock of a handle that is not locked");
}

TEST(BasicSuite, OffersTheUIHooksSuiteAndCountsItsEvents) {
    SPBasicSuite* basic = host::suites::Basic();
    const void* suite = nullptr;
    ASSERT_EQ(basic->AcquireSuite(kUIHooksSuite, kUIHooksSuiteVersion1, &suite), 0);
    ASSERT_NE(suite, nullptr);
    EXPECT_EQ(host::suites::Held(), 1);
    const int32_t events = host::suites::EventsProcessed();
    EventRecord event{};
    static_cast<const UIHooksSuite1*>(suite)->processEvent(&event);
    EXPECT_EQ(host::suites::EventsProcessed(), events + 1);
    EXPECT_EQ(basic->ReleaseSuite(kUIHooksSuite, kUIHooksSuiteVersion1), 0);
    EXPECT_EQ(host::suites::Held(), 0);
    EXPECT_NE(basic->ReleaseSuite(kUIHooksSuite, kUIHooksSuiteVersion1), 0) << "released more than acquired";
}

TEST(BasicSuite, RefusesOtherSuitesAndVersions) {
    SPBasicSuite* basic = host::suites::Basic();
    const void* suite = &basic;
    EXPECT_NE(basic->AcquireSuite(kUIHooksSuite, 2, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    suite = &basic;
    EXPECT_NE(basic->AcquireSuite("Some Other Suite", 1, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    EXPECT_NE(basic->AcquireSuite(nullptr, 1, &suite), 0);
    EXPECT_EQ(host::suites::Held(), 0);
}

} // namespace

// The suite holder: acquired once on first use, given back once, asked again after a failure.
#include "DialogTestSupport.h"
#include "sdk/HostSuites.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

class Suites : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHost();
        pSPBasic = BasicSuite();
    }
    void TearDown() override { pSPBasic = nullptr; }
};

uint32_t ThrownBy(AutoSuite<UIHooksSuite1>& holder) {
    try {
        holder.operator->();
    } catch (uint32_t code) {
        return code;
    }
    return 0;
}

TEST_F(Suites, AcquiredOnFirstUseAndReleasedOnce) {
    AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1);
    EXPECT_EQ(host::suites::Acquired(), 0);
    EXPECT_EQ(holder->processEvent, host::suites::UIHooks()->processEvent);
    EXPECT_EQ(holder->processEvent, host::suites::UIHooks()->processEvent);
    EXPECT_EQ(host::suites::Acquired(), 1);
    holder.Unload();
    holder.Unload();
    EXPECT_EQ(host::suites::Released(), 1);
}

TEST_F(Suites, TheDestructorReleases) {
    {
        AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1);
        holder.operator->();
    }
    EXPECT_EQ(host::suites::Released(), 1);
}

TEST_F(Suites, WithoutABasicSuiteItThrowsParm) {
    pSPBasic = nullptr;
    AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1);
    EXPECT_EQ(ThrownBy(holder), 0x5061726Du);
}

TEST_F(Suites, ARefusalIsThrownAndTheNextUseAsksAgain) {
    AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1);
    host::suites::RefuseWith(7);
    EXPECT_EQ(ThrownBy(holder), 7u);
    host::suites::RefuseWith(0);
    EXPECT_EQ(holder->processEvent, host::suites::UIHooks()->processEvent);
    EXPECT_EQ(host::suites::Acquired(), 1);
    holder.Unload();
    EXPECT_EQ(host::suites::Released(), 1);
}

// Another host's basic suite, or the same host's from a later call, that counts its releases apart.
int otherReleases = 0;
SPBasicSuite otherBasic = {host::suites::Basic()->AcquireSuite, [](const char*, int32_t) -> int32_t {
                               ++otherReleases;
                               return 0;
                           }};

TEST_F(Suites, ReleasedThroughTheBasicSuiteThatAcquiredWhateverTheLaterCallsBrought) {
    for (SPBasicSuite* later : {static_cast<SPBasicSuite*>(nullptr), &otherBasic}) {
        ResetHost();
        otherReleases = 0;
        pSPBasic = BasicSuite();
        AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1);
        holder.operator->();
        pSPBasic = later;
        holder.Unload();
        EXPECT_EQ(host::suites::Released(), 1) << "later basic suite " << later;
        EXPECT_EQ(otherReleases, 0);
        pSPBasic = BasicSuite();
        holder.Unload();
        EXPECT_EQ(host::suites::Released(), 1) << "released once";
    }
}

TEST_F(Suites, ANeverAcquiredHolderReleasesNothing) {
    { AutoSuite<UIHooksSuite1> holder(kUIHooksSuite, kUIHooksSuiteVersion1); }
    EXPECT_EQ(host::suites::Released(), 0);
}

} // namespace

// The entry point and the session phases, driven through the loaded module as a host drives them.
#include "HostHandles.h"
#include "PluginModule.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

class Entry : public ::testing::Test {
protected:
    void SetUp() override {
        procs = host::handles::Table();
        std::memset(&record, 0, sizeof record);
        record.handleProcs = &procs;
        record.HostSupports32BitCoordinates = 1;
        record.maxData = 100000;
        record.imageMode = plugInModeRGBColor;
        record.depth = 8;
        record.planes = 3;
        record.imageSize32 = VPoint{2, 2};
        record.theRect32 = VRect{0, 0, 1, 1};
    }
    void TearDown() override {
        if (data != 0 && procs.validProc(reinterpret_cast<Handle>(data))) {
            procs.disposeProc(reinterpret_cast<Handle>(data));
        }
    }

    int16_t Call(int16_t selector) {
        result = 0x7777;
        module.Call(selector, &record, &data, &result);
        return result;
    }

    PluginModule module;
    HandleProcs procs{};
    ExportRecord record{};
    intptr_t data = 0;
    int16_t result = 0;
};

TEST_F(Entry, NullPointersWriteNothingWhateverTheSelector) {
    for (int16_t selector : {0, 1, 2, 3, 4, 7, -1}) {
        int16_t untouched = 0x1234;
        module.Call(selector, nullptr, &data, &untouched);
        module.Call(selector, &record, nullptr, &untouched);
        EXPECT_EQ(untouched, 0x1234) << "selector " << selector;
        module.Call(selector, &record, &data, nullptr);
    }
    EXPECT_EQ(data, 0);
}

TEST_F(Entry, UnknownSelectorsCreateTheGlobalsAndReportZero) {
    for (int16_t selector : {5, 7, 100, -3}) {
        EXPECT_EQ(Call(selector), 0) << "selector " << selector;
    }
    ASSERT_NE(data, 0);
    EXPECT_EQ(host::handles::Locks(reinterpret_cast<Handle>(data)), 0)
        << "the handle is unlocked on the way out";
    EXPECT_EQ(record.theRect32.right, 1) << "no phase ran";
}

TEST_F(Entry, GlobalsAreCreatedOnceAndKeptAcrossCalls) {
    host::handles::ResetCreated();
    Call(exportSelectorFinish);
    const intptr_t first = data;
    ASSERT_NE(first, 0);
    Call(exportSelectorFinish);
    Call(exportSelectorContinue);
    EXPECT_EQ(data, first);
    EXPECT_EQ(host::handles::Created(), 1);
    EXPECT_EQ(procs.getSizeProc(reinterpret_cast<Handle>(data)) >= 280, true);
}

TEST_F(Entry, ContinueReportsParamErrorAndEmptiesTheRegion) {
    EXPECT_EQ(Call(exportSelectorContinue), exportErrParam);
    EXPECT_EQ(record.theRect32.top, 0);
    EXPECT_EQ(record.theRect32.right, 0);
    EXPECT_EQ(record.theRect32.bottom, 0);
}

TEST_F(Entry, FinishReportsSuccess) {
    EXPECT_EQ(Call(exportSelectorFinish), 0);
}

struct PrepareCase {
    int32_t supports32;
    int32_t maxDataIn;
    int16_t expected;
    int32_t maxDataOut;
    int32_t using32;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const PrepareCase& c, std::ostream* os) {
    *os << "handshake " << c.supports32 << ", maxData " << c.maxDataIn;
}

class Prepare : public Entry, public ::testing::WithParamInterface<PrepareCase> {};

TEST_P(Prepare, ChecksTheHandshakeAndCapsMaxData) {
    const PrepareCase& c = GetParam();
    record.HostSupports32BitCoordinates = c.supports32;
    record.maxData = c.maxDataIn;
    record.PluginUsing32BitCoordinates = 0;
    EXPECT_EQ(Call(exportSelectorPrepare), c.expected);
    EXPECT_EQ(record.maxData, c.maxDataOut);
    EXPECT_EQ(record.PluginUsing32BitCoordinates, c.using32);
}

INSTANTIATE_TEST_SUITE_P(Table, Prepare,
                         ::testing::Values(PrepareCase{1, 100000, 0, 100000, 1},
                                           PrepareCase{1, 10000000, 0, 524288, 1},
                                           PrepareCase{1, -5, 0, -5, 1},
                                           PrepareCase{2, 10000000, -50, 10000000, 0},
                                           PrepareCase{0, 10000000, -50, 10000000, 0}),
                         [](const ::testing::TestParamInfo<PrepareCase>& info) {
                             const PrepareCase& c = info.param;
                             return "handshake" + std::to_string(c.supports32) + "_maxData" +
                                    (c.maxDataIn < 0 ? "Negative" : std::to_string(c.maxDataIn));
                         });

struct ModeCase {
    int16_t mode;
    int16_t depth;
    int16_t planes;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode << ", depth " << c.depth << ", " << c.planes << " planes";
}

class PrepareRefuses : public Entry, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(PrepareRefuses, UnsupportedDocumentsWithUnsupportedDocumentCode) {
    record.imageMode = GetParam().mode;
    record.depth = GetParam().depth;
    record.planes = GetParam().planes;
    record.maxData = 10000000;
    EXPECT_EQ(Call(exportSelectorPrepare), exportErrUnsupportedDocument);
    EXPECT_EQ(record.maxData, 10000000);
}

INSTANTIATE_TEST_SUITE_P(Table, PrepareRefuses,
                         ::testing::Values(ModeCase{4, 8, 4}, // CMYK
                                           ModeCase{plugInModeRGBColor, 8, 2},
                                           ModeCase{plugInModeRGB48, 24, 3},
                                           ModeCase{plugInModeGrayScale, 8, 0}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                             const ModeCase& c = info.param;
                             return "mode" + std::to_string(c.mode) + "_depth" + std::to_string(c.depth) +
                                    "_planes" + std::to_string(c.planes);
                         });

TEST_F(Entry, HostHandleRoutinesHoldTheGlobals) {
    host::handles::ResetCreated();
    Call(exportSelectorFinish);
    EXPECT_EQ(host::handles::Created(), 1);
    EXPECT_TRUE(procs.validProc(reinterpret_cast<Handle>(data)));
}

TEST_F(Entry, UnusableHandleRoutinesFallBackOnTheModulesOwnMemory) {
    for (auto spoil :
         {+[](HandleProcs& p) { p.handleProcsVersion = 2; }, +[](HandleProcs& p) { p.numHandleProcs = 7; },
          +[](HandleProcs& p) { p.setSizeProc = nullptr; }}) {
        HandleProcs spoilt = host::handles::Table();
        spoil(spoilt);
        record.handleProcs = &spoilt;
        intptr_t slot = 0;
        host::handles::ResetCreated();
        int16_t code = 0x7777;
        module.Call(exportSelectorContinue, &record, &slot, &code);
        EXPECT_EQ(code, exportErrParam);
        EXPECT_NE(slot, 0);
        EXPECT_EQ(host::handles::Created(), 0);
        module.Call(exportSelectorFinish, &record, &slot, &code);
        EXPECT_EQ(code, 0) << "the fallback block is found again on the next call";
    }
    record.handleProcs = &procs;
}

TEST_F(Entry, NoHandleRoutinesAtAllFallBackToo) {
    record.handleProcs = nullptr;
    EXPECT_EQ(Call(exportSelectorFinish), 0);
    EXPECT_NE(data, 0);
    data = 0; // not one of the test host's handles
}

TEST_F(Entry, AHandleThatCannotBeLockedReportsNoMemory) {
    procs.lockProc = [](Handle, Boolean) -> void* { return nullptr; };
    host::handles::ResetCreated();
    EXPECT_EQ(Call(exportSelectorFinish), exportErrNoMemory);
    EXPECT_EQ(data, 0) << "the fresh handle is disposed of, the slot stays empty";
    EXPECT_EQ(host::handles::Live(), 0);
}

// Who keeps the globals in one call, and in the next.
enum class Allocator { Own, Host, HostWithoutLock, HostWithoutUnlock };

HandleProcs* ProcsFor(Allocator allocator, HandleProcs& table) {
    table = host::handles::Table();
    if (allocator == Allocator::HostWithoutLock) {
        table.lockProc = nullptr;
    } else if (allocator == Allocator::HostWithoutUnlock) {
        table.unlockProc = nullptr;
    }
    return allocator == Allocator::Own ? nullptr : &table;
}

struct HandleOrderCase {
    const char* name;
    Allocator first;
    Allocator later;
    int16_t laterResult;
    int32_t locksAfter; // the host's handle's locks after the later call
};

void PrintTo(const HandleOrderCase& c, std::ostream* out) {
    *out << c.name;
}

class HandleOrder : public Entry, public ::testing::WithParamInterface<HandleOrderCase> {};

TEST_P(HandleOrder, EachHandleGoesBackToTheAllocatorThatMadeIt) {
    const HandleOrderCase& c = GetParam();
    HandleProcs firstTable{};
    HandleProcs laterTable{};
    host::handles::ResetCreated();
    record.handleProcs = ProcsFor(c.first, firstTable);
    ASSERT_EQ(Call(exportSelectorFinish), 0);
    const intptr_t made = data;
    ASSERT_NE(made, 0);

    record.handleProcs = ProcsFor(c.later, laterTable);
    EXPECT_EQ(Call(exportSelectorFinish), c.laterResult);
    EXPECT_EQ(data, made) << "the slot keeps its handle";
    EXPECT_EQ(host::handles::Created(), c.first == Allocator::Own ? 0 : 1) << "no second block";
    EXPECT_EQ(host::handles::Locks(reinterpret_cast<Handle>(made)), c.locksAfter);

    record.handleProcs = ProcsFor(c.first, firstTable);
    EXPECT_EQ(Call(exportSelectorFinish), 0) << "the block is found again by its own allocator";
    EXPECT_EQ(data, made);
    record.handleProcs = &procs;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HandleOrder,
    ::testing::Values(
        HandleOrderCase{"OwnThenHost", Allocator::Own, Allocator::Host, 0, 0},
        HandleOrderCase{"OwnThenHostWithoutLock", Allocator::Own, Allocator::HostWithoutLock, 0, 0},
        HandleOrderCase{"OwnThenHostWithoutUnlock", Allocator::Own, Allocator::HostWithoutUnlock, 0, 0},
        HandleOrderCase{"HostThenOwn", Allocator::Host, Allocator::Own, exportErrNoMemory, 0},
        HandleOrderCase{"HostThenHostWithoutLock", Allocator::Host, Allocator::HostWithoutLock,
                        exportErrNoMemory, 0},
        // Nothing can give the lock back; the call itself succeeds.
        HandleOrderCase{"HostThenHostWithoutUnlock", Allocator::Host, Allocator::HostWithoutUnlock, 0, 1}),
    [](const ::testing::TestParamInfo<HandleOrderCase>& info) { return std::string(info.param.name); });

TEST_F(Entry, WithoutALockRoutineAFreshHandleIsGivenBack) {
    procs.lockProc = nullptr;
    host::handles::ResetCreated();
    EXPECT_EQ(Call(exportSelectorFinish), exportErrNoMemory);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(host::handles::Created(), 1);
    EXPECT_EQ(host::handles::Live(), 0);
}

// The export path holds 255 bytes: a long temporary folder leaves room for a stem of one letter, or of none,
// and then nothing is exported at all.
TEST_F(Entry, StartRefusesANameOfWhichNotOneLetterFits) {
    namespace fs = std::filesystem;
    for (const size_t room : {1, 0}) {
        testfiles::TempFolder scratch;
        // "<tmp>/QuenfieldImport/<stem>.ppm": 16 + 1 + 4 bytes beside the folder and the stem.
        const size_t length = 255 - 21 - room;
        const std::string tmp = scratch.Join(std::string(length - scratch.Path().size() - 1, 'd'));
        ASSERT_EQ(tmp.size(), length);
        fs::create_directory(tmp);
        testfiles::ScopedEnv tmpdir("TMPDIR", tmp);
        testfiles::ScopedEnv dataHome("XDG_DATA_HOME", scratch.Join("data"));
        testfiles::ScopedEnv dataDirs("XDG_DATA_DIRS", scratch.Join("no-data"));
        testhost::TestHost host(testhost::Document(plugInModeRGBColor, 8, 3, 1, 1, "Name.psd"));

        if (room == 1) {
            EXPECT_EQ(host.Export(module), exportErrCompanionNotLaunched) << "exported, no companion";
            EXPECT_TRUE(fs::exists(tmp + "/QuenfieldImport/N.ppm"));
        } else {
            EXPECT_EQ(host.Export(module), exportErrParam);
            EXPECT_TRUE(host.Requests().empty());
            EXPECT_TRUE(fs::is_empty(tmp + "/QuenfieldImport"));
        }
    }
}

TEST_F(Entry, FailedStartReportsItsErrorAndEmptiesTheRegion) {
    testfiles::TempFolder scratch;
    testfiles::ScopedEnv tmpdir("TMPDIR", scratch.Path());
    record.filename[0] = 0; // no name, no file
    EXPECT_EQ(Call(exportSelectorStart), exportErrParam);
    EXPECT_EQ(record.theRect32.bottom, 0);
    EXPECT_EQ(record.theRect32.right, 0);
}

} // namespace

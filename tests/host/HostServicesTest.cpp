// The handles and suites the host hands to plug-ins.
#include "BasicSuite.h"
#include "ExportedFile.h"
#include "HostHandles.h"
#include "TempFolderRule.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The host reports the file its document's name leads to, whatever else the folder holds (a newer file of
// another export included), and only a regular file: nothing under the name is followed or waited on.
TEST(ExportedFile, IsTheOneTheDocumentsNameLeadsTo) {
    alarm(20); // an open that waits on a FIFO ends the test
    testfiles::TempFolder scratch;
    const std::string tmp = scratch.Join("tmp");
    const std::string folder = tmp + "/QuenfieldImport";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(chmod(tmp.c_str(), 0700), 0);
    testfiles::ScopedEnv env("TMPDIR", tmp);
    testfiles::WriteText(folder + "/Doc_1.ppm", "P6\n3\n2\n65535\n");
    testfiles::WriteText(folder + "/Newer.ppm", "P6\n9\n9\n65535\n");
    ASSERT_EQ(mkfifo((folder + "/Fifo.ppm").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder + "/Doc_1.ppm", folder + "/Link.ppm");

    host::DocumentInfo info;
    info.name = "Doc 1.png";
    const std::optional<host::ExportedFile> file = host::FindExportedFile(info);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->path, folder + "/Doc_1.ppm");
    EXPECT_EQ(file->format, "PPM, 16-bit");
    EXPECT_EQ(file->size, "3x2");
    EXPECT_EQ(file->bytes, 13u);
    info.sample = host::SampleType::Float32;
    EXPECT_FALSE(host::FindExportedFile(info)) << "a 32-bit document's file is Doc_1.pfm";
    info.sample = host::SampleType::UInt8;
    for (const char* name : {"Fifo.tif", "Link.tif", "Missing.tif"}) {
        info.name = name;
        EXPECT_FALSE(host::FindExportedFile(info)) << name;
    }
    alarm(0);
}

// The folder the plug-in would refuse is named with the reason, and the one used instead.
TEST(TempFolderRule, NamesTheFolderItRefusesAndWhy) {
    testfiles::TempFolder scratch;
    const std::string open = scratch.Join("open");
    std::filesystem::create_directories(open + "/tmp");
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    testfiles::ScopedEnv env("TMPDIR", open + "/tmp");
    const host::TempFolderChoice choice = host::ChooseTempFolder();
    EXPECT_EQ(choice.folder, "/tmp/quenfield-" + std::to_string(geteuid()));
    ASSERT_EQ(choice.refused.size(), 1u);
    EXPECT_EQ(choice.refused[0],
              open + "/tmp was refused: " + open + " can be written by other users and is not sticky");
    EXPECT_NE(host::TempFolderNote().find("the export goes to /tmp/quenfield-"), std::string::npos);

    testfiles::ScopedEnv mine("TMPDIR", scratch.Path());
    EXPECT_EQ(host::ChooseTempFolder().folder, scratch.Path());
    EXPECT_EQ(host::TempFolderNote(), "");
}

} // namespace

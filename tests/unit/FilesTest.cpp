// The file and folder services and the temporary folder, on a scratch folder.
#include "System/Files.h"
#include "Error.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class Files : public ::testing::Test {
protected:
    testfiles::TempFolder scratch;
};

TEST_F(Files, OpenWriteCloseLifecycle) {
    const std::string path = scratch.Join("file");
    testfiles::WriteText(path, "old contents");
    int fd = -1;
    ASSERT_TRUE(_sys::OpenFile(fd, path, true, true));
    EXPECT_EQ(fs::file_size(path), 0u) << "an existing file is emptied";
    EXPECT_TRUE(_sys::WriteFile(fd, "abc", 3));
    EXPECT_TRUE(_sys::CloseFile(fd));
    EXPECT_EQ(fd, -1);
    EXPECT_TRUE(_sys::CloseFile(fd)) << "closing a closed descriptor is allowed";
    EXPECT_EQ(testfiles::ReadText(path), "abc");

    ASSERT_TRUE(_sys::OpenFile(fd, scratch.Join("new"), true, true));
    _sys::CloseFile(fd);
    EXPECT_EQ(ModeOf(scratch.Join("new")) & 0077, 0u) << "created for the owner only";
}

TEST_F(Files, OpenFailuresLeaveNoDescriptor) {
    int fd = 7;
    EXPECT_FALSE(_sys::OpenFile(fd, scratch.Join("missing/file"), true, true));
    EXPECT_EQ(fd, -1);
    EXPECT_FALSE(_sys::OpenFile(fd, scratch.Join("absent"), false, false)) << "no creation without create";
    EXPECT_EQ(fd, -1);
}

TEST_F(Files, ALinkInTheFilesPlaceIsNeverWrittenThrough) {
    const std::string target = scratch.Join("target");
    testfiles::WriteText(target, "keep");
    fs::create_symlink(target, scratch.Join("link"));
    int fd = -1;
    EXPECT_FALSE(_sys::OpenFile(fd, scratch.Join("link"), true, true));
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(testfiles::ReadText(target), "keep");
}

TEST_F(Files, MissingArgumentsThrowBeforeAnythingHappens) {
    int fd = -1;
    EXPECT_THROW(_sys::OpenFile(fd, "", true, true), EError);
    EXPECT_THROW(_sys::WriteFile(fd, "a", 1), EError);
    ASSERT_TRUE(_sys::OpenFile(fd, scratch.Join("f"), true, true));
    EXPECT_THROW(_sys::WriteFile(fd, "a", 0), EError);
    EXPECT_THROW(_sys::WriteFile(fd, nullptr, 1), EError);
    _sys::CloseFile(fd);
    EXPECT_THROW(_sys::PathExists(""), EError);
    EXPECT_THROW(_sys::CreateFolder(""), EError);
    EXPECT_THROW(_sys::CleanFolder(""), EError);
    EXPECT_THROW(_sys::SecureFolder(""), EError);
}

TEST_F(Files, AFailedWriteIsReported) {
    int fd = -1;
    ASSERT_TRUE(_sys::OpenFile(fd, scratch.Join("f"), true, true));
    int readOnly = -1;
    ASSERT_TRUE(_sys::OpenFile(readOnly, scratch.Join("f"), false, false));
    EXPECT_FALSE(_sys::WriteFile(readOnly, "a", 1));
    _sys::CloseFile(readOnly);
    _sys::CloseFile(fd);
}

TEST_F(Files, PathExistsDropsOneTrailingSeparator) {
    EXPECT_TRUE(_sys::PathExists(scratch.Path() + "/"));
    EXPECT_TRUE(_sys::PathExists(scratch.Path()));
    EXPECT_FALSE(_sys::PathExists("/")) << "the separator alone tests the empty path";
    EXPECT_FALSE(_sys::PathExists(scratch.Join("missing")));
}

TEST_F(Files, CreateFolderMakesAPrivateFolderOnce) {
    const mode_t old = umask(0);
    const bool created = _sys::CreateFolder(scratch.Join("private"));
    umask(old);
    ASSERT_TRUE(created);
    EXPECT_EQ(ModeOf(scratch.Join("private")), 0700u);
    EXPECT_FALSE(_sys::CreateFolder(scratch.Join("private")));
    EXPECT_FALSE(_sys::CreateFolder(scratch.Join("missing/child")));
}

class Folder : public Files {
protected:
    void SetUp() override {
        folder = scratch.Join("folder");
        fs::create_directories(folder + "/c");
        testfiles::WriteText(folder + "/a", "a");
        testfiles::WriteText(folder + "/b", "b");
        testfiles::WriteText(folder + "/c/inner", "inner");
        testfiles::WriteText(scratch.Join("target"), "target");
        fs::create_symlink(scratch.Join("target"), folder + "/link-file");
        fs::create_symlink(scratch.Path(), folder + "/link-folder");
        fs::create_symlink(scratch.Join("nothing"), folder + "/dangling");
    }
    std::string folder;
};

TEST_F(Folder, EntriesAreTheNamesOfFilesAndLinksToFiles) {
    EXPECT_EQ(Sorted(_hlp::GetFolderEntries(folder)), (std::vector<std::string>{"a", "b", "link-file"}));
    EXPECT_EQ(Sorted(_hlp::GetFolderEntries(folder + "/")),
              (std::vector<std::string>{"a", "b", "link-file"}));
    EXPECT_TRUE(_hlp::GetFolderEntries(scratch.Join("missing")).empty());
    EXPECT_TRUE(_hlp::GetFolderEntries("").empty());
}

TEST_F(Folder, CleaningRemovesFilesAndLinksButNoFolderAndNoTarget) {
    _sys::CleanFolder(folder);
    EXPECT_FALSE(fs::exists(folder + "/a"));
    EXPECT_FALSE(fs::exists(folder + "/b"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder + "/link-file")));
    EXPECT_EQ(testfiles::ReadText(scratch.Join("target")), "target");
    EXPECT_EQ(testfiles::ReadText(folder + "/c/inner"), "inner");
    EXPECT_TRUE(fs::is_symlink(folder + "/link-folder"));
    EXPECT_TRUE(fs::is_symlink(folder + "/dangling"));
}

TEST_F(Files, IsFileJudgesWhatALinkPointsTo) {
    testfiles::WriteText(scratch.Join("file"), "");
    ASSERT_EQ(mkfifo(scratch.Join("fifo").c_str(), 0600), 0);
    EXPECT_TRUE(_sys::IsFile(scratch.Join("file")));
    EXPECT_TRUE(_sys::IsFile(scratch.Join("fifo")));
    EXPECT_FALSE(_sys::IsFile(scratch.Path()));
    EXPECT_FALSE(_sys::IsFile("/dev/null")) << "a character device";
    EXPECT_FALSE(_sys::IsFile(scratch.Join("missing")));
    EXPECT_FALSE(_sys::IsFile(""));
}

TEST_F(Files, OnlyARealFolderOfOurOwnIsSecure) {
    const std::string mine = scratch.Join("mine");
    fs::create_directories(mine);
    chmod(mine.c_str(), 0777);
    EXPECT_TRUE(_sys::SecureFolder(mine));
    EXPECT_EQ(ModeOf(mine), 0700u) << "group and other write are taken away";

    fs::create_symlink(mine, scratch.Join("link"));
    EXPECT_FALSE(_sys::SecureFolder(scratch.Join("link")));
    testfiles::WriteText(scratch.Join("file"), "");
    EXPECT_FALSE(_sys::SecureFolder(scratch.Join("file")));
    EXPECT_FALSE(_sys::SecureFolder(scratch.Join("missing")));
}

TEST_F(Files, AFolderOfAnotherUserIsNotSecure) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand a folder to another user";
    }
    const std::string foreign = scratch.Join("foreign");
    fs::create_directories(foreign);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    chmod(foreign.c_str(), 0777);
    EXPECT_FALSE(_sys::SecureFolder(foreign));
    EXPECT_EQ(ModeOf(foreign), 0777u) << "not ours to change";
}

class TempFolder : public Files {
protected:
    std::string Fallback() const { return "/tmp/quenfield-" + std::to_string(geteuid()); }
};

TEST_F(TempFolder, TmpdirIsTakenWithoutTrailingSeparators) {
    for (const std::string suffix : {"", "/", "///"}) {
        testfiles::ScopedEnv env("TMPDIR", scratch.Path() + suffix);
        std::string path = "stale";
        EXPECT_TRUE(_sys::GetTempFolder(path));
        EXPECT_EQ(path, scratch.Path()) << "TMPDIR=" << scratch.Path() + suffix;
    }
}

TEST_F(TempFolder, UnusableTmpdirFallsBackOnAPrivateFolder) {
    testfiles::WriteText(scratch.Join("file"), "");
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative"), std::optional<std::string>("/"),
          std::optional<std::string>(scratch.Join("missing")),
          std::optional<std::string>(scratch.Join("file"))}) {
        testfiles::ScopedEnv env("TMPDIR", value);
        std::string path;
        EXPECT_TRUE(_sys::GetTempFolder(path)) << value.value_or("(unset)");
        EXPECT_EQ(path, Fallback());
    }
    EXPECT_EQ(ModeOf(Fallback()), 0700u);
}

TEST_F(TempFolder, ATmpdirLongerThan255BytesFails) {
    std::string deep = scratch.Path();
    while (deep.size() <= 255) {
        deep += "/" + std::string(60, 'x');
    }
    fs::create_directories(deep);
    testfiles::ScopedEnv env("TMPDIR", deep);
    std::string path = "stale";
    EXPECT_FALSE(_sys::GetTempFolder(path));
    EXPECT_TRUE(path.empty());
}

} // namespace

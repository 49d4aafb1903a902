// The file and folder services and the temporary folder, on a scratch folder.
#include "platform/Files.h"
#include "TestFiles.h"
#include "platform/CheckedFolder.h"
#include "platform/Error.h"
#include "platform/FolderEntries.h"
#include "platform/PendingFile.h"
#include "platform/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
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
    fs::create_hard_link(path, scratch.Join("other-name"));
    int fd = -1;
    ASSERT_TRUE(_sys::OpenFile(fd, path, true, true));
    EXPECT_EQ(fs::file_size(path), 0u) << "an existing file is replaced by an empty one";
    EXPECT_EQ(testfiles::ReadText(scratch.Join("other-name")), "old contents") << "not emptied in place";
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

TEST_F(Files, ALinkInTheFilesPlaceIsReplacedNeverWrittenThrough) {
    const std::string target = scratch.Join("target");
    testfiles::WriteText(target, "keep");
    fs::create_symlink(target, scratch.Join("link"));
    int fd = -1;
    ASSERT_TRUE(_sys::OpenFile(fd, scratch.Join("link"), true, true));
    EXPECT_TRUE(_sys::WriteFile(fd, "new", 3));
    _sys::CloseFile(fd);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(scratch.Join("link"))));
    EXPECT_EQ(testfiles::ReadText(scratch.Join("link")), "new");
    EXPECT_EQ(testfiles::ReadText(target), "keep");
}

// After the check, the folder is reached through the descriptor the check was made on, whatever is found
// under its path later; once released, the path is what counts again.
TEST_F(Files, TheCheckedFolderIsTheFolderUsed) {
    const std::string checked = scratch.Join("export");
    const std::string moved = scratch.Join("moved");
    const std::string victim = scratch.Join("victim");
    fs::create_directories(checked);
    fs::create_directories(victim);
    testfiles::WriteText(checked + "/old", "old");
    testfiles::WriteText(victim + "/precious", "precious");
    ASSERT_TRUE(_sys::SecureFolder(checked));
    fs::rename(checked, moved);
    fs::create_symlink(victim, checked);

    EXPECT_EQ(_hlp::GetFolderEntries(checked), std::vector<std::string>{"old"});
    _sys::CleanFolder(checked);
    int fd = -1;
    ASSERT_TRUE(_sys::OpenFile(fd, checked + "/new", true, true));
    _sys::CloseFile(fd);
    EXPECT_EQ(Sorted(_hlp::GetFolderEntries(moved)), std::vector<std::string>{"new"});
    EXPECT_TRUE(_sys::RemoveFile(checked + "/new"));
    EXPECT_TRUE(fs::is_empty(moved));
    EXPECT_EQ(_hlp::GetFolderEntries(victim), std::vector<std::string>{"precious"});

    _sys::ReleaseFolder();
    EXPECT_EQ(_hlp::GetFolderEntries(checked), std::vector<std::string>{"precious"}) << "the path again";
    EXPECT_FALSE(_sys::SecureFolder(checked)) << "a link is never checked in";
    EXPECT_EQ(testfiles::ReadText(victim + "/precious"), "precious");
}

TEST_F(Files, RemoveFileTakesFilesAndLinksButNoFolder) {
    testfiles::WriteText(scratch.Join("file"), "");
    fs::create_directories(scratch.Join("folder"));
    fs::create_symlink(scratch.Join("folder"), scratch.Join("link"));
    EXPECT_TRUE(_sys::RemoveFile(scratch.Join("file")));
    EXPECT_TRUE(_sys::RemoveFile(scratch.Join("link")));
    EXPECT_FALSE(_sys::RemoveFile(scratch.Join("folder")));
    EXPECT_FALSE(_sys::RemoveFile(scratch.Join("missing")));
    EXPECT_TRUE(fs::is_directory(scratch.Join("folder")));
    EXPECT_THROW(_sys::RemoveFile(""), EError);
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
    EXPECT_THROW(_sys::RemoveFile(""), EError);
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

// An export file is awaited from its publication (access time 0) until its companion reads it (the read
// moves the access time to the present) or 10 s have passed.
void SetTimes(const std::string& path, time_t access, time_t modification) {
    const timespec times[2] = {{access, 0}, {modification, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST_F(Folder, CleaningSparesWhatAnExportStillNeeds) {
    const time_t now = std::time(nullptr);
    testfiles::WriteText(folder + "/awaited", "awaited");
    SetTimes(folder + "/awaited", 0, now);
    testfiles::WriteText(folder + "/taken", "taken");
    SetTimes(folder + "/taken", now, now);
    testfiles::WriteText(folder + "/given-up", "given up");
    SetTimes(folder + "/given-up", 0, now - 11);

    // An export writing into the folder holds it shared: nothing is taken for a leftover meanwhile.
    const int writer = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(writer, LOCK_SH), 0);
    _sys::CleanFolder(folder);
    EXPECT_EQ(Sorted(_hlp::GetFolderEntries(folder)),
              (std::vector<std::string>{"a", "awaited", "b", "given-up", "link-file", "taken"}));
    close(writer);

    _sys::CleanFolder(folder);
    EXPECT_EQ(_hlp::GetFolderEntries(folder), std::vector<std::string>{"awaited"});
}

// Under its own name only once complete: written under a hidden temporary name in the checked folder,
// published under its name, awaited; a discarded file leaves nothing.
TEST_F(Files, TheExportFileHasItsNameOnlyOnceComplete) {
    const std::string checked = scratch.Join("export");
    fs::create_directories(checked);
    ASSERT_TRUE(_sys::SecureFolder(checked));
    testfiles::WriteText(checked + "/Doc.ppm", "an earlier export, taken");
    int fd = -1;
    ASSERT_TRUE(_sys::CreatePendingFile(fd, checked + "/Doc.ppm"));
    EXPECT_TRUE(_sys::WriteFile(fd, "new", 3));
    ASSERT_TRUE(_sys::CloseFile(fd));
    const std::vector<std::string> written = Sorted(_hlp::GetFolderEntries(checked));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].rfind(".Doc.ppm.", 0), 0u) << written[0];
    EXPECT_EQ(testfiles::ReadText(checked + "/Doc.ppm"), "an earlier export, taken");

    ASSERT_TRUE(_sys::PublishPendingFile());
    EXPECT_EQ(_hlp::GetFolderEntries(checked), std::vector<std::string>{"Doc.ppm"});
    struct stat info {};
    ASSERT_EQ(lstat((checked + "/Doc.ppm").c_str(), &info), 0);
    EXPECT_EQ(info.st_atim.tv_sec, 0) << "awaited by its companion";
    _sys::ForgetAwaitedFile(checked + "/Doc.ppm");
    ASSERT_EQ(lstat((checked + "/Doc.ppm").c_str(), &info), 0);
    EXPECT_NE(info.st_atim.tv_sec, 0) << "no longer awaited";
    EXPECT_EQ(testfiles::ReadText(checked + "/Doc.ppm"), "new");

    ASSERT_TRUE(_sys::CreatePendingFile(fd, checked + "/Other.ppm"));
    _sys::CloseFile(fd);
    _sys::DiscardPendingFile();
    EXPECT_EQ(_hlp::GetFolderEntries(checked), std::vector<std::string>{"Doc.ppm"});
    _sys::ReleaseFolder();
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

// Only a folder nobody else can write to is used as it is; a shared one with the sticky bit holds a private
// folder of the user's; anything else is passed over for the private folder under /tmp.
TEST_F(TempFolder, OnlyAPrivateTmpdirIsUsedAsItIs) {
    struct Case {
        const char* name;
        mode_t mode;
        bool foreign; // owned by another user (root only)
        std::string expected;
    };
    const std::string uid = std::to_string(geteuid());
    const Case cases[] = {
        {"private", 0700, false, scratch.Join("private")},
        {"readable", 0755, false, scratch.Join("readable")},
        {"shared-sticky", 01777, false, scratch.Join("shared-sticky/quenfield-" + uid)},
        {"group-sticky", 01770, false, scratch.Join("group-sticky/quenfield-" + uid)},
        {"other-writable", 0777, false, Fallback()},
        {"group-writable", 0770, false, Fallback()},
        {"foreign", 0755, true, Fallback()},
        {"foreign-sticky", 01777, true, Fallback()}, // its owner may rename our entries in it
    };
    for (const Case& c : cases) {
        if (c.foreign && geteuid() != 0) {
            continue;
        }
        const std::string folder = scratch.Join(c.name);
        fs::create_directories(folder);
        ASSERT_EQ(chmod(folder.c_str(), c.mode), 0);
        if (c.foreign) {
            ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        }
        testfiles::ScopedEnv env("TMPDIR", folder);
        std::string path;
        EXPECT_TRUE(_sys::GetTempFolder(path)) << c.name;
        EXPECT_EQ(path, c.expected) << c.name;
        EXPECT_EQ(ModeOf(path), c.expected == folder ? c.mode : 0700u) << c.name;
    }
}

// A folder on the way to $TMPDIR that another user can change (rename $TMPDIR away and put a link in its
// place) makes $TMPDIR as untrustworthy as a foreign one; so does a link on the way.
TEST_F(TempFolder, EveryFolderAboveTmpdirMustBeClosedToOthers) {
    struct Case {
        const char* name;
        mode_t mode; // of the folder above $TMPDIR
        bool foreign;
        bool throughLink;
        bool used;
    };
    const Case cases[] = {
        {"above-private", 0700, false, false, true},
        {"above-sticky", 01777, false, false, true},
        {"above-other-writable", 0777, false, false, false},
        {"above-group-writable", 0770, false, false, false},
        {"above-foreign", 0755, true, false, false},
        {"above-foreign-sticky", 01777, true, false, false},
        {"through-a-link", 0700, false, true, false},
    };
    for (const Case& c : cases) {
        if (c.foreign && geteuid() != 0) {
            continue;
        }
        const std::string above = scratch.Join(c.name);
        fs::create_directories(above + "/tmp");
        ASSERT_EQ(chmod((above + "/tmp").c_str(), 0700), 0);
        ASSERT_EQ(chmod(above.c_str(), c.mode), 0);
        if (c.foreign) {
            ASSERT_EQ(chown(above.c_str(), 65534, 65534), 0);
        }
        std::string tmpdir = above + "/tmp";
        if (c.throughLink) {
            fs::create_symlink(above, scratch.Join("link"));
            tmpdir = scratch.Join("link/tmp");
        }
        testfiles::ScopedEnv env("TMPDIR", tmpdir);
        std::string path;
        EXPECT_TRUE(_sys::GetTempFolder(path)) << c.name;
        EXPECT_EQ(path, c.used ? tmpdir : Fallback()) << c.name;
    }
}

// Someone else may take the name of the private folder in a shared $TMPDIR first: the export goes to the next
// usable folder instead.
TEST_F(TempFolder, APrivateFolderPlantedInASharedOneIsPassedOver) {
    const std::string shared = scratch.Join("shared");
    fs::create_directories(shared);
    chmod(shared.c_str(), 01777);
    const std::string mine = shared + "/quenfield-" + std::to_string(geteuid());
    testfiles::ScopedEnv env("TMPDIR", shared);

    fs::create_directories(scratch.Join("elsewhere"));
    fs::create_symlink(scratch.Join("elsewhere"), mine);
    std::string path = "stale";
    EXPECT_TRUE(_sys::GetTempFolder(path)) << "a link in its place";
    EXPECT_EQ(path, Fallback());
    EXPECT_TRUE(fs::is_empty(scratch.Join("elsewhere")));
    fs::remove(mine);

    if (geteuid() == 0) {
        fs::create_directories(mine);
        ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(_sys::GetTempFolder(path)) << "another user's folder";
        EXPECT_EQ(path, Fallback());
        fs::remove(mine);
    }
    fs::create_directories(mine);
    chmod(mine.c_str(), 0777);
    EXPECT_TRUE(_sys::GetTempFolder(path));
    EXPECT_EQ(path, mine);
    EXPECT_EQ(ModeOf(mine), 0700u) << "narrowed to the user's own";
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

// The companion's desktop entry names the program by its absolute path, which may hold any character a path
// can: the entry must start exactly that program on exactly the exported file when GIO (as the plug-in does)
// reads and launches it.
#include "DesktopEntry.h"
#include "TestFiles.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <thread>

namespace {

namespace fs = std::filesystem;

// The folder the program lies in.
struct Folder {
    const char* name;
};

// Printed as it reads, a tab escaped, in place of the framework's byte and text forms.
void PrintTo(const Folder& folder, std::ostream* os) {
    for (const char* c = folder.name; *c != '\0'; ++c) {
        if (*c == '\t') {
            *os << "\\t";
        } else {
            *os << *c;
        }
    }
}

class DesktopEntryTest : public ::testing::TestWithParam<Folder> {
protected:
    testfiles::TempFolder scratch_;
    const fs::path folder_{scratch_.Path()};
};

TEST_P(DesktopEntryTest, StartsThatProgramOnTheFile) {
    const fs::path programFolder = folder_ / GetParam().name;
    fs::create_directories(programFolder);
    const fs::path program = programFolder / "quenfield-import";
    const fs::path record = folder_ / "started";
    std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n%s' \"$0\" \"$1\" >'" << record.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    const fs::path entry = folder_ / "com.quenfield.Test.desktop";
    std::ofstream(entry) << host::CompanionEntry(program);
    const fs::path exported = folder_ / "a b.ppm";
    std::ofstream(exported) << "P6";

    GDesktopAppInfo* app = g_desktop_app_info_new_from_filename(entry.c_str());
    ASSERT_NE(app, nullptr) << "GIO refused the entry:\n" << testfiles::ReadText(entry);
    GFile* file = g_file_new_for_path(exported.c_str());
    GList files{file, nullptr, nullptr};
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch(G_APP_INFO(app), &files, nullptr, &error);
    g_object_unref(file);
    g_object_unref(app);
    ASSERT_TRUE(launched) << (error != nullptr ? error->message : "");

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (testfiles::ReadText(record).find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(testfiles::ReadText(record), program.string() + "\n" + exported.string());
}

std::string FolderName(const ::testing::TestParamInfo<Folder>& info) {
    std::string name;
    for (const char* c = info.param.name; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(AwkwardFolders, DesktopEntryTest,
                         ::testing::Values(Folder{"plain"}, Folder{"with space"}, Folder{"double\"quote"},
                                           Folder{"single'quote"}, Folder{"dollar$HOME"},
                                           Folder{"back\\slash"}, Folder{"back`tick`"},
                                           Folder{"semi;colon&amp"}, Folder{"tab\there"},
                                           Folder{"unicode-\xC3\xA9t\xC3\xA9"}),
                         FolderName);

TEST(DesktopEntry, RefusesPathsAnEntryCannotStart) {
    EXPECT_THROW(host::CompanionEntry("/opt/two\nlines/quenfield-import"), std::invalid_argument);
    EXPECT_THROW(host::CompanionEntry("/opt/100%/quenfield-import"), std::invalid_argument);
    EXPECT_THROW(host::CompanionEntry("/opt/bell\a/quenfield-import"), std::invalid_argument);
    EXPECT_THROW(host::CompanionEntry("/opt/del\x7F/quenfield-import"), std::invalid_argument);
    // Not UTF-8: Latin-1, a stray continuation byte, an overlong "/", a surrogate, past U+10FFFF, cut short.
    for (const char* path : {"/opt/caf\xE9/q", "/opt/\x80/q", "/opt/\xC0\xAF/q", "/opt/\xED\xA0\x80/q",
                             "/opt/\xF4\x90\x80\x80/q", "/opt/\xE2\x82"}) {
        EXPECT_THROW(host::CompanionEntry(path), std::invalid_argument) << path;
    }
}

} // namespace

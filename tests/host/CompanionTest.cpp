// The companion's strict reading of the exported file, its naming of imports and its pictures folder.
#include "Destination.h"
#include "ExportedImage.h"
#include "ImportLog.h"
#include "TestFiles.h"
#include "TiffOutput.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using companion::ExportedImage;
using companion::ImageKind;
using companion::ImportError;

class CompanionTest : public ::testing::Test {
protected:
    fs::path Write(const std::string& bytes) {
        const fs::path path = folder_ / "export.ppm";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    testfiles::TempFolder scratch_;
    const fs::path folder_{scratch_.Path()};
};

std::vector<uint16_t> FirstPixel(const fs::path& path) {
    std::vector<uint16_t> pixel(3);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    EXPECT_NE(tiff, nullptr) << path;
    if (tiff != nullptr) {
        EXPECT_EQ(TIFFReadScanline(tiff, pixel.data(), 0, 0), 1) << path;
        TIFFClose(tiff);
    }
    return pixel;
}

TEST_F(CompanionTest, ReadsPpmSamplesMostSignificantByteFirst) {
    ExportedImage image(Write(std::string("P6\n2\n1\n65535\n") + std::string("\xff\xfe\x00\x01\x80\x00", 6) +
                              std::string("\x01\x02\x03\x04\x05\x06", 6)));
    EXPECT_EQ(image.Kind(), ImageKind::Ppm16);
    EXPECT_EQ(image.Width(), 2u);
    EXPECT_EQ(image.Height(), 1u);
    const uint16_t* row = image.NextPpmRow();
    EXPECT_EQ(std::vector<uint16_t>(row, row + 6),
              (std::vector<uint16_t>{0xfffe, 0x0001, 0x8000, 0x0102, 0x0304, 0x0506}));
}

TEST_F(CompanionTest, ReadsPfmSamplesLeastSignificantByteFirst) {
    ExportedImage image(
        Write(std::string("PF\n1\n1\n-1.0000\n") + std::string("\0\0\0\x3f\0\0\x80\xbf\0\0\0\0", 12)));
    EXPECT_EQ(image.Kind(), ImageKind::Pfm32);
    const float* row = image.NextPfmRow();
    EXPECT_EQ(row[0], 0.5f);
    EXPECT_EQ(row[1], -1.0f);
    EXPECT_EQ(row[2], 0.0f);
}

TEST_F(CompanionTest, RefusesAnythingButTheHeaderAndSizeThePlugInWrites) {
    const std::string pixel(6, '\0');
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"8-bit PPM", "P6\n1\n1\n255\n" + std::string(3, '\0')},
        {"gray PGM", "P5\n1\n1\n65535\n" + std::string(2, '\0')},
        {"one-channel PFM", "Pf\n1\n1\n-1.0000\n" + std::string(4, '\0')},
        {"big-endian PFM", "PF\n1\n1\n1.0000\n" + std::string(12, '\0')},
        {"other scale spelling", "PF\n1\n1\n-1.0\n" + std::string(12, '\0')},
        {"width and height on one line", "P6\n1 1\n65535\n" + pixel},
        {"leading zero", "P6\n01\n1\n65535\n" + pixel},
        {"zero width", "P6\n0\n1\n65535\n"},
        {"sign", "P6\n+1\n1\n65535\n" + pixel},
        {"carriage return", "P6\r\n1\r\n1\r\n65535\r\n" + pixel},
        {"comment", "P6\n# made by hand\n1\n1\n65535\n" + pixel},
        {"width beyond 32 bits", "P6\n4294967297\n1\n65535\n" + pixel},
        {"a byte short", "P6\n1\n1\n65535\n" + pixel.substr(1)},
        {"a byte too many", "P6\n1\n1\n65535\n" + pixel + "x"},
        {"header only", "P6\n1\n1\n65535\n"},
        {"empty", ""},
    };
    for (const auto& bad : cases) {
        EXPECT_THROW(ExportedImage{Write(bad.bytes)}, ImportError) << bad.what;
    }
    EXPECT_THROW(ExportedImage{folder_ / "missing.ppm"}, ImportError);
    EXPECT_THROW(ExportedImage{folder_}, ImportError) << "a folder";
}

TEST_F(CompanionTest, ImportsNeverOverwriteAnEarlierOne) {
    const uint16_t row[3] = {1, 2, 3};
    for (const char* expected : {"photo.tif", "photo-2.tif", "photo-3.tif"}) {
        companion::TiffOutput output(folder_, "photo", ImageKind::Ppm16, 1, 1);
        output.WriteRow(row);
        EXPECT_EQ(output.Commit(), folder_ / expected);
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"photo.tif", "photo-2.tif", "photo-3.tif"}));
}

TEST_F(CompanionTest, OverlappingImportsOfOneNameEachKeepTheirOwnImage) {
    const uint16_t first[3] = {1, 2, 3};
    const uint16_t second[3] = {4, 5, 6};
    companion::TiffOutput earlier(folder_, "letter", ImageKind::Ppm16, 1, 1);
    companion::TiffOutput later(folder_, "letter", ImageKind::Ppm16, 1, 1);
    earlier.WriteRow(first);
    later.WriteRow(second);
    EXPECT_EQ(earlier.Commit(), folder_ / "letter.tif");
    EXPECT_EQ(later.Commit(), folder_ / "letter-2.tif");
    EXPECT_EQ(FirstPixel(folder_ / "letter.tif"), (std::vector<uint16_t>{1, 2, 3}));
    EXPECT_EQ(FirstPixel(folder_ / "letter-2.tif"), (std::vector<uint16_t>{4, 5, 6}));
    EXPECT_EQ(Names(), (std::set<std::string>{"letter.tif", "letter-2.tif"}));
}

TEST_F(CompanionTest, AnUnfinishedImportLeavesNothingBehind) {
    {
        companion::TiffOutput output(folder_, "broken", ImageKind::Pfm32, 2, 2);
        const float row[6] = {};
        output.WriteRow(row);
    }
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(CompanionTest, PicturesFolderComesFromTheEnvironmentThenUserDirsThenHome) {
    testfiles::ScopedEnv home("HOME", folder_.string());
    testfiles::ScopedEnv config("XDG_CONFIG_HOME", (folder_ / "config").string());
    testfiles::ScopedEnv pictures("XDG_PICTURES_DIR", "");
    EXPECT_EQ(companion::DefaultDestination(), folder_ / "Pictures" / "Quenfield");

    fs::create_directories(folder_ / "config");
    std::ofstream(folder_ / "config" / "user-dirs.dirs") << "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    EXPECT_EQ(companion::DefaultDestination(), folder_ / "Bilder" / "Quenfield");

    // The home folder itself means the folder is switched off.
    std::ofstream(folder_ / "config" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/\"\n";
    EXPECT_EQ(companion::DefaultDestination(), folder_ / "Pictures" / "Quenfield");

    testfiles::ScopedEnv direct("XDG_PICTURES_DIR", "/srv/pictures");
    EXPECT_EQ(companion::DefaultDestination(), fs::path("/srv/pictures/Quenfield"));
}

TEST_F(CompanionTest, LogLivesAmongTheUsersStateFilesNeverNextToThePictures) {
    testfiles::ScopedEnv home("HOME", folder_.string());
    const struct {
        const char* stateHome;
        fs::path log;
    } cases[] = {
        {"", folder_ / ".local/state/quenfield/quenfield-import.log"},
        {"relative/state", folder_ / ".local/state/quenfield/quenfield-import.log"},
        {"/srv/state", "/srv/state/quenfield/quenfield-import.log"},
    };
    for (const auto& c : cases) {
        testfiles::ScopedEnv state("XDG_STATE_HOME", c.stateHome);
        EXPECT_EQ(companion::LogFile(), c.log) << c.stateHome;
    }
}

TEST_F(CompanionTest, LogIsCreatedPrivateAndAppendedTo) {
    testfiles::ScopedEnv state("XDG_STATE_HOME", (folder_ / "state").string());
    companion::LogImport("first");
    companion::LogImport("second");
    const std::string text = testfiles::ReadText(folder_ / "state/quenfield/quenfield-import.log");
    EXPECT_NE(text.find(" first\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" second\n"), std::string::npos) << text;
    EXPECT_LT(text.find("first"), text.find("second"));
    for (const fs::path& made : {folder_ / "state", folder_ / "state/quenfield"}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
}

TEST_F(CompanionTest, LogThatCannotBeWrittenCostsNeitherTheImportNorAFileThroughALink) {
    fs::create_directories(folder_ / "state/quenfield");
    const fs::path target = folder_ / "elsewhere";
    fs::create_symlink(target, folder_ / "state/quenfield/quenfield-import.log");
    testfiles::ScopedEnv state("XDG_STATE_HOME", (folder_ / "state").string());
    EXPECT_NO_THROW(companion::LogImport("through a link"));
    EXPECT_FALSE(fs::exists(target));

    std::ofstream(folder_ / "plain-file") << "x";
    testfiles::ScopedEnv blocked("XDG_STATE_HOME", (folder_ / "plain-file").string());
    EXPECT_NO_THROW(companion::LogImport("under a file"));
}

} // namespace

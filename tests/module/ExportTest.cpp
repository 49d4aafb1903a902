// Whole exports through the loaded module, served by the in-memory test host, into a private TMPDIR, with a
// fake companion application registered in a private XDG data folder.
#include "DocumentKind.h"
#include "ExportScene.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testhost::Document;
using testhost::ExpectedFile;
using testhost::Kind;
using testhost::TestHost;
namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

class Export : public testhost::ExportFolders {};

class ExportWithCompanion : public testhost::ExportScene {
protected:
    void ExpectLaunchedOn(const std::string& path) const {
        const auto arguments = companion.WaitForArguments();
        ASSERT_TRUE(arguments.has_value()) << "the companion was not started";
        EXPECT_EQ(*arguments, std::vector<std::string>{path});
    }
};

TEST_F(ExportWithCompanion, TwoPixelRGBDocumentGivesTheExampleFile) {
    Document document(plugInModeRGBColor, 8, 3, 2, 1, "Example.psd");
    const double samples[] = {255, 0, 128, 1, 2, 3};
    for (int i = 0; i < 6; ++i) {
        document.SetSample(i / 3, 0, static_cast<int16_t>(i % 3), samples[i]);
    }
    TestHost host(document);
    EXPECT_EQ(host.Export(module), 0);
    std::vector<uint8_t> expected = Bytes("P6\n2\n1\n65535\n");
    for (uint8_t byte : {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80, 0x01, 0x01, 0x02, 0x02, 0x03, 0x03}) {
        expected.push_back(byte);
    }
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Example.ppm")), expected);
    ExpectLaunchedOn(FileOf("Example.ppm"));
}

TEST_F(ExportWithCompanion, OnePixelGrayFloatDocumentGivesTheExampleFile) {
    Document document(plugInModeGray32, 32, 1, 1, 1, "Half.tif");
    document.SetSample(0, 0, 0, 0.5);
    TestHost host(document);
    EXPECT_EQ(host.Export(module), 0);
    std::vector<uint8_t> expected = Bytes("PF\n1\n1\n-1.0000\n");
    for (int i = 0; i < 3; ++i) {
        for (uint8_t byte : {0x00, 0x00, 0x00, 0x3F}) {
            expected.push_back(byte);
        }
    }
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Half.pfm")), expected);
    ExpectLaunchedOn(FileOf("Half.pfm"));
}

TEST_F(ExportWithCompanion, OnePixelRGBDocumentIsNineteenBytes) {
    TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "Dot"));
    EXPECT_EQ(host.Export(module), 0);
    EXPECT_EQ(fs::file_size(FileOf("Dot.ppm")), 19u);
    ExpectLaunchedOn(FileOf("Dot.ppm"));
}

class EveryKind : public ExportWithCompanion, public ::testing::WithParamInterface<Kind> {};

// Every supported kind, extra planes included, is one whole export: the complete file under the document's
// name in the import folder, one request per row, and the companion started on exactly that file. A fault in
// any stage (naming, requests, conversion, launch) shows here for the kind that reaches it.
TEST_P(EveryKind, IsWrittenCompletelyAndHandedToTheCompanion) {
    const Kind kind = GetParam();
    Document document(kind.mode, kind.depth, kind.planes, 7, 3, "Sunset Beach.psd");
    document.FillPattern();
    TestHost host(document);
    ASSERT_EQ(host.Export(module), 0);

    const std::string path = FileOf(std::string("Sunset_Beach.") + kind.extension);
    EXPECT_EQ(testfiles::ReadBytes(path), ExpectedFile(document));
    ASSERT_EQ(host.Requests().size(), 3u) << "one request per row";
    for (size_t row = 0; row < 3; ++row) {
        const host::Event& request = host.Requests()[row];
        EXPECT_EQ(request.rect.top, int32_t(row));
        EXPECT_EQ(request.rect.bottom, int32_t(row + 1));
        EXPECT_EQ(request.rect.left, 0);
        EXPECT_EQ(request.rect.right, 7);
        EXPECT_EQ(request.loPlane, 0);
        EXPECT_EQ(request.hiPlane, kind.planes - 1) << "every plane is fetched";
    }
    ASSERT_EQ(host.ProgressReports().size(), 3u);
    EXPECT_EQ(host.ProgressReports().back().done, 2);
    EXPECT_EQ(host.ProgressReports().back().total, 3);
    EXPECT_EQ(host.Record().theRect32.right, 0) << "no further region is wanted";
    EXPECT_EQ(host.Refusals(), 0u);

    ExpectLaunchedOn(path);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EveryKind,
    ::testing::Values(Kind{plugInModeGrayScale, 8, 1, "ppm"}, Kind{plugInModeGrayScale, 8, 2, "ppm"},
                      Kind{plugInModeGray16, 16, 1, "ppm"}, Kind{plugInModeGray16, 16, 3, "ppm"},
                      Kind{plugInModeGray32, 32, 1, "pfm"}, Kind{plugInModeGray32, 32, 2, "pfm"},
                      Kind{plugInModeRGBColor, 8, 3, "ppm"}, Kind{plugInModeRGBColor, 8, 5, "ppm"},
                      Kind{plugInModeRGB48, 16, 3, "ppm"}, Kind{plugInModeRGB48, 16, 4, "ppm"},
                      Kind{plugInModeRGB96, 32, 3, "pfm"}, Kind{plugInModeRGB96, 32, 4, "pfm"}),
    testhost::KindName);

struct ChunkCase {
    int32_t width;
    std::vector<std::pair<int32_t, int32_t>> columns; // left, right of each chunk of a row
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const ChunkCase& c, std::ostream* os) {
    *os << "width " << c.width;
}

class Chunking : public Export, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(Chunking, EachRowIsRequestedInChunksOfAtMostTenThousandPixels) {
    const ChunkCase& c = GetParam();
    Document document(plugInModeRGBColor, 8, 3, c.width, 2, "Wide");
    document.FillPattern();
    TestHost host(document);
    host.Export(module); // no companion here: only the transfer matters
    ASSERT_EQ(host.Requests().size(), 2 * c.columns.size());
    for (size_t i = 0; i < host.Requests().size(); ++i) {
        const VRect& rect = host.Requests()[i].rect;
        const size_t chunk = i % c.columns.size();
        EXPECT_EQ(rect.top, int32_t(i / c.columns.size())) << "request " << i;
        EXPECT_EQ(rect.bottom - rect.top, 1) << "request " << i;
        EXPECT_EQ(rect.left, c.columns[chunk].first) << "request " << i;
        EXPECT_EQ(rect.right, c.columns[chunk].second) << "request " << i;
    }
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Wide.ppm")), ExpectedFile(document));
}

INSTANTIATE_TEST_SUITE_P(Widths, Chunking,
                         ::testing::Values(ChunkCase{25000, {{0, 10000}, {10000, 20000}, {20000, 25000}}},
                                           ChunkCase{20000, {{0, 10000}, {10000, 20000}}},
                                           ChunkCase{1, {{0, 1}}}),
                         [](const ::testing::TestParamInfo<ChunkCase>& info) {
                             return "Width" + std::to_string(info.param.width);
                         });

TEST_F(ExportWithCompanion, CancelDuringARowStopsAfterThatChunkReportsTheRowAndLeavesNothing) {
    const int32_t width = 25000;
    Document document(plugInModeRGBColor, 8, 3, width, 4, "Cancel");
    TestHost host(document);
    const size_t row = 2;
    host.CancelAfter(row * 3 + 1); // the second chunk of row 2
    EXPECT_EQ(host.Export(module), exportErrUserCanceled);

    EXPECT_EQ(host.Requests().size(), row * 3 + 2);
    ASSERT_EQ(host.ProgressReports().size(), row + 1);
    EXPECT_EQ(host.ProgressReports().back().done, int32_t(row));
    EXPECT_EQ(host.ProgressReports().back().total, 4);
    EXPECT_FALSE(fs::exists(FileOf("Cancel.ppm"))) << "a cancelled export leaves no partial file";
    EXPECT_EQ(host.Record().theRect32.right, 0);
    EXPECT_FALSE(companion.Started());
}

TEST_F(Export, HostErrorsArePassedOnUnchanged) {
    for (int16_t code : {int16_t(-9999), int16_t(-1), int16_t(17)}) {
        for (size_t at : {size_t(0), size_t(4)}) {
            Document document(plugInModeGray16, 16, 1, 15000, 3, "Error");
            TestHost host(document);
            host.FailAt(at, code);
            EXPECT_EQ(host.Export(module), code) << "code " << code << " at request " << at;
            EXPECT_EQ(host.Requests().size(), at + 1);
            EXPECT_FALSE(fs::exists(FileOf("Error.ppm")));
            ASSERT_FALSE(host.ProgressReports().empty());
            EXPECT_EQ(host.ProgressReports().back().done, int32_t(at / 2));
        }
    }
}

TEST_F(Export, AHostWithoutAdvanceStateGetsParamErrorAndNoFile) {
    Document document(plugInModeRGBColor, 8, 3, 4, 2, "Old");
    TestHost host(document);
    host.RemoveAdvanceState();
    EXPECT_EQ(host.Export(module), exportErrParam);
    EXPECT_TRUE(fs::is_empty(Folder())) << "not even the header stays";
}

TEST_F(Export, ShortRowBytesIsAParamError) {
    TestHost host(Document(plugInModeRGB48, 16, 3, 4, 2, "Short"));
    host.ShortRowBytes(1);
    EXPECT_EQ(host.Export(module), exportErrParam);
    EXPECT_EQ(host.Requests().size(), 1u);
}

TEST_F(Export, NullDataFromTheHostIsAMissingParameterAndReleasesEverything) {
    TestHost host(Document(plugInModeRGBColor, 8, 3, 4, 2, "Null"));
    host.NullDataAt(1);
    EXPECT_EQ(host.Export(module), exportErrMissingParameter);
    EXPECT_EQ(host.Record().theRect32.bottom, 0);
    // The descriptor was closed: nothing of this process still refers to the file.
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        EXPECT_NE(fs::read_symlink(entry.path(), ignored).string(), FileOf("Null.ppm"));
    }
    // A later export in the same session works, so nothing was left half-open.
    TestHost again(Document(plugInModeRGBColor, 8, 3, 4, 2, "Null"));
    EXPECT_EQ(again.Export(module), exportErrCompanionNotLaunched);
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Null.ppm")), ExpectedFile(again.Doc()));
}

TEST_F(ExportWithCompanion, HostsWithoutProgressOrAbortStillExport) {
    Document document(plugInModeGrayScale, 8, 1, 3, 2, "Plain");
    document.FillPattern();
    TestHost host(document);
    host.RemoveProgress();
    host.RemoveAbort();
    EXPECT_EQ(host.Export(module), 0);
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Plain.ppm")), ExpectedFile(document));
    ExpectLaunchedOn(FileOf("Plain.ppm"));
}

struct Refused {
    const char* what;
    int16_t mode;
    int16_t planes;
    int32_t width;
    int32_t height;
    const char* name;
    int16_t prepare; // Prepare's result; Start answers -50 for all of them
};

// A refused export leaves the folder as it was: the previous export, kept for a later import, included.
TEST_F(Export, RefusedDocumentsAndNamesLeaveThePreviousExportInPlace) {
    Document previous(plugInModeRGBColor, 8, 3, 2, 2, "Kept");
    previous.FillPattern();
    TestHost keep(previous);
    ASSERT_EQ(keep.Export(module), exportErrCompanionNotLaunched);
    testfiles::WriteText(FileOf("notes.txt"), "notes");
    const Refused cases[] = {
        {"no columns", plugInModeRGBColor, 3, 0, 5, "Empty", exportErrUnsupportedDocument},
        {"no rows", plugInModeRGBColor, 3, 5, 0, "Empty", exportErrUnsupportedDocument},
        {"negative width", plugInModeRGBColor, 3, -3, 2, "Empty", exportErrUnsupportedDocument},
        {"negative height", plugInModeGray16, 1, 2, -3, "Empty", exportErrUnsupportedDocument},
        {"30001 planes", plugInModeRGBColor, 30001, 1, 1, "Planes", exportErrUnsupportedDocument},
        {"32767 planes", plugInModeGrayScale, 32767, 1, 1, "Planes", exportErrUnsupportedDocument},
        {"two RGB planes", plugInModeRGBColor, 2, 1, 1, "Mode", exportErrUnsupportedDocument},
        {"a name of an extension only", plugInModeRGBColor, 3, 1, 1, ".psd", exportNoErr},
        {"an empty name", plugInModeRGBColor, 3, 1, 1, "", exportNoErr},
    };
    for (const Refused& c : cases) {
        TestHost prepare(Document(c.mode, 8, c.planes, c.width, c.height, c.name));
        EXPECT_EQ(prepare.Call(module, exportSelectorPrepare), c.prepare) << c.what;
        TestHost start(Document(c.mode, 8, c.planes, c.width, c.height, c.name));
        EXPECT_EQ(start.Call(module, exportSelectorStart), exportErrParam) << c.what;
        EXPECT_TRUE(start.Requests().empty()) << c.what;
        EXPECT_EQ(testfiles::ReadBytes(FileOf("Kept.ppm")), ExpectedFile(previous)) << c.what;
        EXPECT_EQ(testfiles::ReadText(FileOf("notes.txt")), "notes") << c.what;
        EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), 2) << c.what;
    }
}

TEST_F(Export, ARefusedFirstExportCreatesNoFolder) {
    TestHost host(Document(plugInModeRGBColor, 8, 3, 0, 1, "Empty"));
    EXPECT_EQ(host.Call(module, exportSelectorStart), exportErrParam);
    EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(Export, TheFolderIsCreatedPrivateAndEmptiedOfFilesOnly) {
    TestHost first(Document(plugInModeRGBColor, 8, 3, 1, 1, "First"));
    first.Export(module);
    struct stat info {};
    ASSERT_EQ(lstat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const std::string outside = MakeFolder(scratch.Join("outside"));
    testfiles::WriteText(outside + "/keep", "keep");
    testfiles::WriteText(FileOf("other"), "x");
    MakeFolder(FileOf("sub"));
    testfiles::WriteText(FileOf("sub/inner"), "inner");
    fs::create_symlink(outside + "/keep", FileOf("link-to-file"));
    fs::create_symlink(outside, FileOf("link-to-folder"));
    chmod(Folder().c_str(), 0777);

    TestHost second(Document(plugInModeRGBColor, 8, 3, 1, 1, "Second"));
    second.Export(module);
    EXPECT_FALSE(fs::exists(FileOf("First.ppm")));
    EXPECT_FALSE(fs::exists(FileOf("other")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(FileOf("link-to-file")))) << "the link goes, not its target";
    EXPECT_TRUE(fs::exists(FileOf("sub/inner")));
    EXPECT_TRUE(fs::is_symlink(FileOf("link-to-folder")));
    EXPECT_EQ(testfiles::ReadText(outside + "/keep"), "keep");
    EXPECT_TRUE(fs::exists(FileOf("Second.ppm")));
    ASSERT_EQ(lstat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "a folder others could write to is narrowed";
}

TEST_F(Export, APlantedLinkToAnotherFolderIsNeitherEmptiedNorWrittenThrough) {
    const std::string victim = MakeFolder(scratch.Join("victim"));
    testfiles::WriteText(victim + "/thesis.txt", "precious");
    fs::create_symlink(victim, Folder());
    TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "Planted"));
    EXPECT_EQ(host.Export(module), exportErrParam);
    EXPECT_EQ(testfiles::ReadText(victim + "/thesis.txt"), "precious");
    EXPECT_FALSE(fs::exists(victim + "/Planted.ppm"));
    EXPECT_TRUE(host.Requests().empty());
}

TEST_F(Export, ALongTemporaryFolderShortensTheNameNotThePath) {
    // 255 bytes of path: the folder, "/QuenfieldImport/" and a name whose stem must give way.
    std::string tmp = scratch.Path();
    while (tmp.size() < 200) {
        tmp += "/" + std::string(std::min<size_t>(40, std::max<size_t>(200 - tmp.size() - 1, 1)), 'd');
    }
    MakeFolder(tmp);
    testfiles::ScopedEnv longTmp("TMPDIR", tmp);
    testfiles::FakeCompanion companion(scratch.Join("data"));
    TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, std::string(80, 'n') + ".psd"));
    EXPECT_EQ(host.Export(module), 0);

    const std::string folder = tmp + "/QuenfieldImport/";
    const std::string expected = folder + std::string(255 - folder.size() - 4, 'n') + ".ppm";
    ASSERT_EQ(expected.size(), 255u);
    EXPECT_EQ(fs::file_size(expected), 19u);
    const auto arguments = companion.WaitForArguments();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, std::vector<std::string>{expected});
}

TEST_F(Export, WithoutACompanionEntryTheLaunchFailsAndTheFileStays) {
    Document document(plugInModeRGBColor, 8, 3, 2, 2, "Alone");
    document.FillPattern();
    TestHost host(document);
    EXPECT_EQ(host.Export(module), exportErrCompanionNotLaunched);
    EXPECT_EQ(testfiles::ReadBytes(FileOf("Alone.ppm")), ExpectedFile(document));
}

TEST_F(Export, UnusableCompanionEntriesFailTheLaunch) {
    struct Entry {
        const char* extra;
        const char* program;
    };
    for (const Entry& entry :
         {Entry{"Hidden=true\n", ""}, Entry{"", "/nonexistent/companion"}, Entry{"Type=Link\n", ""}}) {
        testfiles::TempFolder data;
        testfiles::ScopedEnv home("XDG_DATA_HOME", data.Path());
        testfiles::FakeCompanion companion(data.Path(), entry.extra, entry.program);
        TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "Broken"));
        EXPECT_EQ(host.Export(module), exportErrCompanionNotLaunched) << entry.extra << entry.program;
        EXPECT_TRUE(fs::exists(FileOf("Broken.ppm")));
    }
}

TEST_F(Export, TheCompanionIsFoundInTheSystemDataFoldersToo) {
    testfiles::ScopedEnv system("XDG_DATA_DIRS", scratch.Join("elsewhere") + ":" + scratch.Join("system"));
    testfiles::FakeCompanion companion(scratch.Join("system"));
    TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "System"));
    EXPECT_EQ(host.Export(module), 0);
    const auto arguments = companion.WaitForArguments();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, std::vector<std::string>{FileOf("System.ppm")});
}

TEST_F(Export, ARelativeDataHomeCountsAsUnset) {
    testfiles::ScopedEnv relative("XDG_DATA_HOME", "relative/data");
    testfiles::ScopedEnv home("HOME", scratch.Path());
    testfiles::FakeCompanion companion(scratch.Join(".local/share"));
    TestHost host(Document(plugInModeRGBColor, 8, 3, 1, 1, "Home"));
    EXPECT_EQ(host.Export(module), 0);
    EXPECT_TRUE(companion.WaitForArguments().has_value());
}

} // namespace

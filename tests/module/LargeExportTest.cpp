// Large documents of random samples through the loaded module, byte for byte against the file computed
// independently by the test host: the guard for every rewrite of the conversion loops. The width leaves a
// partial run at the end of each row for every plane count, and the samples cover each depth's whole range.
#include "DocumentKind.h"
#include "ExportScene.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using testhost::Document;
using testhost::Kind;
using testhost::TestHost;

// 12345 columns: runs of 10000, 7500 and 6000 pixels each leave a remainder. About 2.5 megapixels.
const int32_t iWIDTH = 12345;
const int32_t iHEIGHT = 200;

// No companion entry anywhere: the launch fails after the file is complete, which is all this checks.
class LargeRandomDocument : public testhost::ExportFolders, public ::testing::WithParamInterface<Kind> {};

TEST_P(LargeRandomDocument, IsWrittenByteForByteAsComputedIndependently) {
    const Kind kind = GetParam();
    Document document(kind.mode, kind.depth, kind.planes, iWIDTH, iHEIGHT, "Large");
    document.FillRandom(static_cast<uint32_t>(kind.mode * 1000 + kind.depth * 10 + kind.planes));
    TestHost host(document);
    EXPECT_EQ(host.Export(module), exportErrCompanionNotLaunched);

    const std::vector<uint8_t> expected = testhost::ExpectedFile(document);
    const std::vector<uint8_t> actual = testfiles::ReadBytes(FileOf(std::string("Large.") + kind.extension));
    ASSERT_EQ(actual.size(), expected.size());
    const size_t header = expected.size() - size_t(iWIDTH) * iHEIGHT * (kind.depth == 32 ? 12 : 6);
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            const size_t pixelBytes = kind.depth == 32 ? 12 : 6;
            const size_t pixel = (i - header) / pixelBytes;
            FAIL() << "first difference at byte " << i << ": pixel x " << pixel % iWIDTH << ", y "
                   << pixel / iWIDTH << ", byte " << (i - header) % pixelBytes
                   << " of the pixel: " << int(actual[i]) << " instead of " << int(expected[i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LargeRandomDocument,
    ::testing::Values(Kind{plugInModeGrayScale, 8, 1, "ppm"}, Kind{plugInModeGrayScale, 8, 2, "ppm"},
                      Kind{plugInModeGray16, 16, 1, "ppm"}, Kind{plugInModeGray16, 16, 2, "ppm"},
                      Kind{plugInModeGray32, 32, 1, "pfm"}, Kind{plugInModeGray32, 32, 3, "pfm"},
                      Kind{plugInModeRGBColor, 8, 3, "ppm"}, Kind{plugInModeRGBColor, 8, 4, "ppm"},
                      Kind{plugInModeRGBColor, 8, 5, "ppm"}, Kind{plugInModeRGB48, 16, 3, "ppm"},
                      Kind{plugInModeRGB48, 16, 4, "ppm"}, Kind{plugInModeRGB96, 32, 3, "pfm"},
                      Kind{plugInModeRGB96, 32, 4, "pfm"}),
    testhost::KindName);

} // namespace

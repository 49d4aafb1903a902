// The validator's own oracle and tools: if its expected files, names or guard pages were wrong, every verdict
// on a plug-in would be too.
#include "CheckSupport.h"
#include "Documents.h"
#include "GuardedBlock.h"
#include "HostHandles.h"
#include "Json.h"
#include "Runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using validate::Document;

std::vector<uint8_t> Bytes(const std::string& text, std::initializer_list<uint8_t> samples) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), samples);
    return bytes;
}

template <typename T>
Document WithSamples(int16_t mode, int16_t depth, int16_t planes, int32_t width, std::vector<T> samples) {
    Document d = validate::MakeDocument(mode, depth, planes, width, 1);
    std::memcpy(d.Bytes().data(), samples.data(), samples.size() * sizeof(T));
    return d;
}

TEST(ValidatorOracle, WritesTheFormatsExamples) {
    EXPECT_EQ(
        validate::ExpectedFile(WithSamples<uint8_t>(plugInModeRGBColor, 8, 3, 2, {255, 0, 128, 1, 2, 3})),
        Bytes("P6\n2\n1\n65535\n", {0xFF, 0xFF, 0, 0, 0x80, 0x80, 1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(validate::ExpectedFile(WithSamples<float>(plugInModeGray32, 32, 1, 1, {0.5f})),
              Bytes("PF\n1\n1\n-1.0000\n", {0, 0, 0, 0x3F, 0, 0, 0, 0x3F, 0, 0, 0, 0x3F}));
}

TEST(ValidatorOracle, Maps16BitHostSamplesAndDropsExtraPlanes) {
    // Gray and alpha: the alpha sample is never written.
    const Document d = WithSamples<uint16_t>(plugInModeGray16, 16, 2, 3, {32768, 7, 16384, 9, 1, 65535});
    EXPECT_EQ(validate::ExpectedFile(d),
              Bytes("P6\n3\n1\n65535\n", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F,
                                          0xFF, 0, 1, 0, 1, 0, 1}));
}

TEST(ValidatorOracle, NamesFilesAsTheNamingRulesSay) {
    const std::pair<std::string, std::string> names[] = {{"Sunset Beach.psd", "Sunset_Beach.ppm"},
                                                         {"photo.final.tif", "photo_final.ppm"},
                                                         {"Untitled-1", "Untitled-1.ppm"},
                                                         {"(copy) 2+3", "(copy)_2+3.ppm"},
                                                         {"a/b.c", "b.ppm"},
                                                         {"Caf\xC3\xA9", "Caf__.ppm"},
                                                         {std::string("ab\0c.d", 6), "ab.ppm"},
                                                         {".psd", ""},
                                                         {"", ""}};
    for (const auto& [document, file] : names) {
        EXPECT_EQ(validate::ExpectedName(document, 8), file) << document;
    }
    EXPECT_EQ(validate::ExpectedName("Sunset Beach.psd", 32), "Sunset_Beach.pfm");
}

TEST(ValidatorOracle, PointsAtTheFirstDifferingSample) {
    const Document d = WithSamples<uint8_t>(plugInModeRGBColor, 8, 3, 2, {255, 0, 128, 1, 2, 3});
    std::vector<uint8_t> file = validate::ExpectedFile(d);
    EXPECT_EQ(validate::FirstDifference(file, d), "");
    file[13 + 6 + 3] ^= 1;
    EXPECT_EQ(validate::FirstDifference(file, d),
              "byte 22 is 0x03 instead of 0x02 (row 0, column 1, channel 1)");
    file.pop_back();
    file[22] ^= 1;
    EXPECT_EQ(validate::FirstDifference(file, d), "a file of 24 bytes instead of 25");
}

TEST(ValidatorOracle, ComparesHeadersAsLinesAndSamplesAsBytes) {
    const std::vector<uint8_t> expected = Bytes("P6\n2\n1\n65535\n", {1, 2, 3});
    const std::pair<std::vector<uint8_t>, std::string> seen[] = {
        {expected, ""},
        {Bytes("P6\n2\n1\n32768\n", {1, 2, 3}), "line 4 is \"32768\" instead of \"65535\""},
        {Bytes("P6\n2\n1\n65535\n", {1, 9, 3}), "byte 14 is 0x09 instead of 0x02"},
        {Bytes("P6\n2\n1\n65535\n", {1, 2}), "15 bytes instead of 16"}};
    for (const auto& [bytes, difference] : seen) {
        EXPECT_EQ(validate::CompareBytes(expected, bytes), difference);
    }
    EXPECT_EQ(validate::CompareFiles({{"$TMPDIR/a", expected}}, {}), "$TMPDIR/a is missing");
}

TEST(ValidatorJson, EscapesEverythingThatWouldBreakTheDocument) {
    EXPECT_EQ(validate::JsonString("a\"b\\c\nd\te\x01"), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
    EXPECT_EQ(validate::JsonString("Caf\xC3\xA9"), "\"Caf\xC3\xA9\"");
    // A stray byte of a cut sequence is escaped instead of passed on as invalid UTF-8.
    EXPECT_EQ(validate::JsonString("x\xC3"), "\"x\\u00c3\"");
}

using ValidatorGuardedBlockDeathTest = ::testing::Test;

TEST_F(ValidatorGuardedBlockDeathTest, FaultsOnTheByteAfterTheEndAndOnAnyWrite) {
    for (size_t size : {size_t(1), size_t(4096), size_t(4097), size_t(12345)}) {
        host::GuardedBlock block(size);
        std::memset(block.Data(), 0xAB, size);
        block.Seal();
        const volatile uint8_t* data = block.Data();
        EXPECT_EQ(data[size - 1], 0xAB);
        EXPECT_DEATH((void)data[size], "") << size;
        EXPECT_DEATH(const_cast<volatile uint8_t*>(data)[0] = 0, "") << size;
    }
}

} // namespace

namespace {

using validate::CheckStatus;

std::vector<validate::CheckReport> RunAll(const std::vector<validate::Check>& checks, bool inProcess) {
    const validate::RunOptions options{"/nonexistent/plugin.so", inProcess, 1.0, 3};
    return validate::RunChecks(checks, options, [](const validate::CheckReport&) {});
}

TEST(ValidatorRunner, ReportsEachWayACheckCanEnd) {
    const std::vector<validate::Check> checks = {
        {"passes", "", [](const validate::CheckContext&) {}, validate::Level::Contract},
        {"fails", "", [](const validate::CheckContext&) { validate::Fail("the result", "0", "-50"); },
         validate::Level::Contract},
        {"skips", "", [](const validate::CheckContext&) { validate::Skip("not here"); },
         validate::Level::Contract},
        {"faults", "", [](const validate::CheckContext&) { std::raise(SIGSEGV); }, validate::Level::Contract},
        {"hangs", "", [](const validate::CheckContext&) { pause(); }, validate::Level::Contract},
        {"leaves", "", [](const validate::CheckContext&) { _exit(3); }, validate::Level::Contract},
        {"throws", "", [](const validate::CheckContext&) { throw std::runtime_error("odd"); },
         validate::Level::Contract},
        {"warns", "", [](const validate::CheckContext&) { validate::Warn("a choice of its own"); },
         validate::Level::Contract},
        {"misuses", "",
         [](const validate::CheckContext&) {
             HandleProcs* procs = host::handles::Procs();
             Handle h = procs->newProc(4);
             procs->unlockProc(h);
             procs->disposeProc(h);
         },
         validate::Level::Contract},
        {"fails-twice", "",
         [](const validate::CheckContext&) {
             validate::SubCases cases;
             for (const char* name : {"first", "second", "third"}) {
                 cases.Run(name, [&] { validate::Expect(name[0] == 's', name, "s", "other"); });
             }
             cases.Finish();
         },
         validate::Level::Contract},
        {"dies-in-a-sub-case", "",
         [](const validate::CheckContext&) {
             validate::Note("the 1x1 document");
             std::raise(SIGSEGV);
         },
         validate::Level::Contract},
        {"reads-a-gone-delivery", "",
         [](const validate::CheckContext&) {
             const volatile uint8_t* gone = nullptr;
             {
                 host::GuardedBlock block(16);
                 gone = block.Data();
             }
             (void)*gone;
         },
         validate::Level::Contract},
    };
    const std::vector<validate::CheckReport> reports = RunAll(checks, false);
    ASSERT_EQ(reports.size(), checks.size());
    const std::pair<CheckStatus, std::string> expected[] = {
        {CheckStatus::Passed, ""},
        {CheckStatus::Failed, "the result: expected 0, saw -50"},
        {CheckStatus::Skipped, "not here"},
        // Killed by the signal, or ended by a sanitizer's report of it.
        {CheckStatus::Crashed, ""},
        {CheckStatus::TimedOut, "killed after 1 s"},
        {CheckStatus::Crashed, "exited with status 3 before reaching a verdict"},
        {CheckStatus::Failed, "the check stopped: odd"},
        {CheckStatus::Warning, "a choice of its own"},
        {CheckStatus::Failed, "the plug-in misused a host handle: unlock of a handle that is not locked"},
        {CheckStatus::Failed,
         "2 sub-cases failed:\nfirst: expected s, saw other\nthird: expected s, saw other"},
        {CheckStatus::Crashed,
         "killed by signal 11 (Segmentation fault) during the sub-case \"the 1x1 document\""},
        {CheckStatus::Crashed,
         "killed by signal 11 (Segmentation fault); its output: the plug-in faulted on a read of "
         "an earlier delivery, gone since (a stale data pointer)"}};
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].verdict.status, expected[i].first) << reports[i].name;
        EXPECT_EQ(reports[i].verdict.detail.substr(0, expected[i].second.size()), expected[i].second)
            << reports[i].name;
    }
    EXPECT_LT(reports[4].seconds, 5.0);
}

TEST(ValidatorRunner, GivesEveryCheckAScratchFolderOfItsOwnAndRemovesIt) {
    std::filesystem::path seen;
    const std::vector<validate::Check> checks = {
        {"in-process", "",
         [&](const validate::CheckContext& context) {
             seen = context.scratch;
             validate::Expect(std::filesystem::is_directory(seen) && !context.ownProcess,
                              "the scratch folder", "there", "missing");
         },
         validate::Level::Contract}};
    const std::vector<validate::CheckReport> reports = RunAll(checks, true);
    EXPECT_EQ(reports.front().verdict.status, CheckStatus::Passed) << reports.front().verdict.detail;
    EXPECT_EQ(seen.filename(), "in-process");
    EXPECT_FALSE(std::filesystem::exists(seen));
}

} // namespace

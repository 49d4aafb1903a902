// The validator's parts that a verdict rests on: the probe host's deliveries of any region, the check list,
// the parallel runner's order, the JUnit text and the fuzz cases' repeatability.
#include "Check.h"
#include "FuzzCase.h"
#include "Junit.h"
#include "ProbeHost.h"
#include "Runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace {

// A plug-in in miniature: Start asks for one region and keeps its rows as delivered, rowBytes apart.
struct Region {
    VRect rect;
    int16_t lo, hi;
};
Region wanted;
std::vector<std::vector<uint8_t>> deliveredRows;
uintptr_t deliveredAt = 0;
int32_t deliveredRowBytes = 0;

void CopyingEntry(int16_t selector, void* block, intptr_t*, int16_t* result) {
    auto* record = static_cast<ExportRecord*>(block);
    *result = 0;
    if (selector != exportSelectorStart) {
        return;
    }
    record->theRect32 = wanted.rect;
    record->theRect = Rect{int16_t(wanted.rect.top), int16_t(wanted.rect.left), int16_t(wanted.rect.bottom),
                           int16_t(wanted.rect.right)};
    record->loPlane = wanted.lo;
    record->hiPlane = wanted.hi;
    *result = record->advanceState();
    deliveredRows.clear();
    if (*result != 0) {
        record->theRect32 = VRect{};
        record->theRect = Rect{};
        return;
    }
    const size_t rowLength =
        size_t(wanted.rect.right - wanted.rect.left) * size_t(wanted.hi - wanted.lo + 1) * 2;
    const auto* data = static_cast<const uint8_t*>(record->data);
    deliveredAt = reinterpret_cast<uintptr_t>(data);
    deliveredRowBytes = record->rowBytes;
    for (int32_t y = wanted.rect.top; y < wanted.rect.bottom; ++y, data += record->rowBytes) {
        deliveredRows.emplace_back(data, data + rowLength);
    }
    record->theRect32 = VRect{};
    record->theRect = Rect{};
}

TEST(ValidatorProbeHost, AnswersMultiRowPlaneSubsetsWithPaddingAndMisalignment) {
    const validate::Document document = validate::MakeDocument(plugInModeRGB48, 16, 4, 5, 4);
    struct Case {
        Region region;
        int32_t padding;
        bool misaligned;
    };
    const Case cases[] = {{{{0, 0, 4, 5}, 0, 3}, 0, false},
                          {{{1, 1, 3, 4}, 1, 2}, 0, false},
                          {{{1, 1, 3, 4}, 1, 2}, 3, false},
                          {{{2, 4, 4, 5}, 3, 3}, 0, true},
                          {{{0, 2, 3, 5}, 0, 1}, 64, true}};
    for (const Case& c : cases) {
        wanted = c.region;
        validate::ProbeHost host(CopyingEntry, document);
        host.Record().PluginUsing32BitCoordinates = 1;
        host.Behaviour().rowBytesPadding = c.padding;
        host.Behaviour().misaligned = c.misaligned;
        ASSERT_EQ(host.Call(exportSelectorStart), 0) << host.Refusal();
        const size_t planes = size_t(c.region.hi - c.region.lo + 1);
        const size_t rowLength = size_t(c.region.rect.right - c.region.rect.left) * planes * 2;
        EXPECT_EQ(deliveredRowBytes, int32_t(rowLength) + c.padding);
        if (c.misaligned) {
            EXPECT_EQ(deliveredAt % 2, 1u);
        }
        ASSERT_EQ(deliveredRows.size(), size_t(c.region.rect.bottom - c.region.rect.top));
        for (size_t row = 0; row < deliveredRows.size(); ++row) {
            for (int32_t x = c.region.rect.left; x < c.region.rect.right; ++x) {
                const size_t at = size_t(x - c.region.rect.left) * planes * 2;
                EXPECT_EQ(
                    std::memcmp(deliveredRows[row].data() + at,
                                document.SampleAddress(x, c.region.rect.top + int32_t(row), c.region.lo),
                                planes * 2),
                    0)
                    << "row " << row << ", column " << x << ", padding " << c.padding;
            }
        }
    }
}

TEST(ValidatorProbeHost, RefusesRegionsOutsideTheDocumentItsPlanesOrMaxData) {
    const validate::Document document = validate::MakeDocument(plugInModeRGBColor, 8, 3, 4, 4);
    const std::pair<Region, int32_t> refused[] = {{{{0, 0, 5, 4}, 0, 2}, 1000},
                                                  {{{0, 0, 1, 4}, 0, 3}, 1000},
                                                  {{{2, 2, 2, 3}, 0, 2}, 1000},
                                                  {{{0, 0, 2, 4}, 0, 2}, 23}};
    for (const auto& [region, maxData] : refused) {
        wanted = region;
        validate::ProbeHost host(CopyingEntry, document);
        host.Record().PluginUsing32BitCoordinates = 1;
        host.Record().maxData = maxData;
        host.Play(exportSelectorStart);
        EXPECT_FALSE(host.Refusal().empty()) << validate::DescribeRequest(host.Requests().front());
    }
}

TEST(ValidatorChecks, HaveUniqueNamesAndEveryLevel) {
    std::set<std::string> names;
    std::set<validate::Level> levels;
    for (const validate::Check& check : validate::AllChecks()) {
        EXPECT_TRUE(names.insert(check.name).second) << check.name;
        EXPECT_FALSE(check.description.empty()) << check.name;
        levels.insert(check.level);
    }
    EXPECT_GE(names.size(), 45u);
    EXPECT_EQ(levels.size(), 3u);
}

// Each of two checks waits for the other to start: only a run of both at once lets both pass. The second
// ends first, yet the reports come in the checks' order.
TEST(ValidatorRunner, RunsChecksAtOnceAndReportsThemInOrder) {
    const std::filesystem::path meeting =
        std::filesystem::temp_directory_path() / ("validator-meeting-" + std::to_string(getpid()));
    std::filesystem::create_directories(meeting);
    auto meet = [meeting](const std::string& self, const std::string& other, int linger) {
        return [=](const validate::CheckContext&) {
            std::ofstream(meeting / self) << "here";
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!std::filesystem::exists(meeting / other)) {
                if (std::chrono::steady_clock::now() > until) {
                    validate::Fail("the other check", "running at the same time", "not started");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(linger));
        };
    };
    const std::vector<validate::Check> checks = {
        {"first", "", meet("first", "second", 300), validate::Level::Contract},
        {"second", "", meet("second", "first", 0), validate::Level::Reference},
        {"third", "", [](const validate::CheckContext&) {}, validate::Level::Recommended}};
    std::vector<std::string> order;
    const std::vector<validate::CheckReport> reports =
        validate::RunChecks(checks, validate::RunOptions{"/nonexistent/plugin.so", false, 60, 2},
                            [&](const validate::CheckReport& r) { order.push_back(r.name); });
    std::filesystem::remove_all(meeting);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third"}));
    for (const validate::CheckReport& r : reports) {
        EXPECT_EQ(r.verdict.status, validate::CheckStatus::Passed) << r.name << ": " << r.verdict.detail;
    }
    EXPECT_EQ(reports[1].level, validate::Level::Reference);
}

TEST(ValidatorJunit, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    const std::pair<std::string, std::string> texts[] = {{"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;"},
                                                         {"line\nnext\ttab", "line&#10;next&#9;tab"},
                                                         {"bell\x07", "bell\xEF\xBF\xBD"},
                                                         {"Caf\xC3\xA9", "Caf\xC3\xA9"},
                                                         {"cut \xC3", "cut \xEF\xBF\xBD"},
                                                         {"\xF8\x88\x80\xED\xA0\x80",
                                                          "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                                          "\xEF\xBF\xBD\xEF\xBF\xBD"},
                                                         {"]]>", "]]&gt;"}};
    for (const auto& [text, xml] : texts) {
        EXPECT_EQ(validate::XmlText(text), xml);
    }
}

TEST(ValidatorFuzzCases, AreTheSameForTheSameSeedAndDifferOtherwise) {
    std::set<uint64_t> seeds;
    std::set<std::string> cases;
    for (uint64_t index = 0; index < 50; ++index) {
        const uint64_t seed = validate::CaseSeed(7, index);
        seeds.insert(seed);
        const std::string described = validate::DescribeFuzzCase(validate::MakeFuzzCase(seed));
        EXPECT_EQ(validate::DescribeFuzzCase(validate::MakeFuzzCase(seed)), described);
        cases.insert(described);
    }
    EXPECT_EQ(seeds.size(), 50u);
    EXPECT_GT(cases.size(), 45u);
    EXPECT_NE(validate::CaseSeed(7, 0), validate::CaseSeed(8, 0));
}

} // namespace

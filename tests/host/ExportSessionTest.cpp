// The host's side of the protocol, against a scripted plug-in: the order of the selectors, the record it
// fills, and what advanceState delivers or refuses.
#include "ExportSession.h"
#include "HostRange.h"
#include "PluginLibrary.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using host::ColorModel;
using host::DocumentInfo;
using host::ExportOutcome;
using host::ExportSession;
using host::SampleType;

// A document held in memory, or made up row by row when it is too large to hold.
class MemoryDocument : public host::RowSource {
public:
    MemoryDocument(DocumentInfo info, std::vector<unsigned char> pixels)
        : info_(std::move(info)), pixels_(std::move(pixels)) {}
    const DocumentInfo& Info() const override { return info_; }
    const void* Row(uint32_t y) override {
        if (pixels_.empty()) {
            row_.assign(info_.RowBytes(), static_cast<unsigned char>(y));
            return row_.data();
        }
        return pixels_.data() + size_t(y) * info_.RowBytes();
    }

private:
    DocumentInfo info_;
    std::vector<unsigned char> pixels_;
    std::vector<unsigned char> row_;
};

DocumentInfo Info(uint32_t width, uint32_t height, ColorModel color, SampleType sample, uint16_t channels) {
    DocumentInfo info;
    info.name = "doc.tif";
    info.width = width;
    info.height = height;
    info.color = color;
    info.sample = sample;
    info.channels = channels;
    return info;
}

std::vector<unsigned char> Bytes16(const std::vector<uint16_t>& samples) {
    std::vector<unsigned char> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

// The plug-in's part, played by the test.
std::function<void(int16_t, ExportRecord&, int16_t&)> plugin;
std::vector<int16_t> selectors;

void Script(int16_t selector, void* block, intptr_t*, int16_t* result) {
    selectors.push_back(selector);
    if (selector != exportSelectorAbout && plugin) {
        plugin(selector, *static_cast<ExportRecord*>(block), *result);
    }
}

void Request(ExportRecord& record, VRect rect, int16_t lo, int16_t hi) {
    record.theRect32 = rect;
    record.loPlane = lo;
    record.hiPlane = hi;
}

void Done(ExportRecord& record) {
    record.theRect32 = VRect{0, 0, 0, 0};
}

class ExportSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        selectors.clear();
        plugin = nullptr;
        void* module = dlopen(SCRIPTED_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(module, nullptr);
        auto setScript = reinterpret_cast<void (*)(ExportPluginEntry)>(dlsym(module, "SetScript"));
        ASSERT_NE(setScript, nullptr);
        setScript(Script);
        dlclose(module);
    }

    ExportOutcome Run(host::RowSource& document, host::ExportObserver observer = {}) {
        ExportSession session(library_, document, std::move(observer));
        return session.Run();
    }

    host::PluginLibrary library_{SCRIPTED_PLUGIN_PATH};
};

// Accepts 32-bit coordinates in Prepare, then runs start(record) in Start and empties the region.
void PlayStart(std::function<void(ExportRecord&, int16_t&)> start) {
    plugin = [start](int16_t selector, ExportRecord& record, int16_t& result) {
        if (selector == exportSelectorPrepare) {
            record.PluginUsing32BitCoordinates = 1;
        } else if (selector == exportSelectorStart) {
            start(record, result);
            Done(record);
        }
    };
}

TEST_F(ExportSessionTest, ContinuesWhileARegionIsWantedThenFinishes) {
    MemoryDocument doc(Info(2, 2, ColorModel::Gray, SampleType::UInt8, 1), {1, 2, 3, 4});
    int continues = 0;
    plugin = [&continues](int16_t selector, ExportRecord& record, int16_t&) {
        if (selector == exportSelectorPrepare) {
            record.PluginUsing32BitCoordinates = 1;
        } else if (selector == exportSelectorStart) {
            Request(record, VRect{0, 0, 1, 1}, 0, 0);
        } else if (selector == exportSelectorContinue && ++continues == 2) {
            Done(record);
        }
    };
    EXPECT_EQ(Run(doc).result, exportNoErr);
    EXPECT_EQ(selectors,
              (std::vector<int16_t>{exportSelectorPrepare, exportSelectorStart, exportSelectorContinue,
                                    exportSelectorContinue, exportSelectorFinish}));
}

TEST_F(ExportSessionTest, AFailedPrepareOrStartEndsTheExportWithoutFinish) {
    MemoryDocument doc(Info(1, 1, ColorModel::Gray, SampleType::UInt8, 1), {0});
    plugin = [](int16_t selector, ExportRecord&, int16_t& result) {
        if (selector == exportSelectorPrepare) {
            result = exportErrUnsupportedDocument;
        }
    };
    EXPECT_EQ(Run(doc).result, exportErrUnsupportedDocument);
    EXPECT_EQ(selectors, std::vector<int16_t>{exportSelectorPrepare});

    selectors.clear();
    plugin = [](int16_t selector, ExportRecord&, int16_t& result) {
        if (selector == exportSelectorStart) {
            result = exportErrWriteFailed;
        }
    };
    EXPECT_EQ(Run(doc).result, exportErrWriteFailed);
    EXPECT_EQ(selectors, (std::vector<int16_t>{exportSelectorPrepare, exportSelectorStart}));
}

TEST_F(ExportSessionTest, TheRecordDescribesTheDocument) {
    DocumentInfo info = Info(40000, 3, ColorModel::Rgb, SampleType::Float32, 5);
    info.name = std::string(300, 'n');
    MemoryDocument doc(info, {});
    ExportRecord seen{};
    plugin = [&seen](int16_t selector, ExportRecord& record, int16_t&) {
        if (selector == exportSelectorPrepare) {
            seen = record;
        }
    };
    Run(doc);
    EXPECT_EQ(seen.imageMode, plugInModeRGB96);
    EXPECT_EQ(seen.depth, 32);
    EXPECT_EQ(seen.planes, 5);
    EXPECT_EQ(seen.imageSize32.h, 40000);
    EXPECT_EQ(seen.imageSize32.v, 3);
    EXPECT_EQ(seen.imageSize.h, 32767) << "the 16-bit size is clipped";
    EXPECT_EQ(seen.filename[0], 255) << "the name is cut to what the length byte can count";
    EXPECT_EQ(seen.maxData, ExportSession::kOfferedMaxData);
    EXPECT_EQ(seen.HostSupports32BitCoordinates, 1);
    EXPECT_EQ(seen.PluginUsing32BitCoordinates, 0);
    EXPECT_NE(seen.handleProcs, nullptr);
    EXPECT_NE(seen.sSPBasic, nullptr);
    EXPECT_NE(seen.advanceState, nullptr);
}

TEST_F(ExportSessionTest, DeliversTheRequestedPlanesInTheHostsSixteenBitRange) {
    const uint32_t width = 6;
    const uint32_t height = 4;
    std::vector<uint16_t> samples(width * height * 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint16_t>(i * 2731 % 65536);
    }
    MemoryDocument doc(Info(width, height, ColorModel::Rgb, SampleType::UInt16, 4), Bytes16(samples));
    std::vector<uint16_t> delivered;
    int32_t rowBytes = 0;
    PlayStart([&](ExportRecord& record, int16_t& result) {
        Request(record, VRect{1, 2, 3, 5}, 1, 2); // rows 1-2, columns 2-4, green and blue
        result = record.advanceState();
        rowBytes = record.rowBytes;
        for (int r = 0; r < 2 && result == 0; ++r) {
            const auto* row =
                reinterpret_cast<const uint16_t*>(static_cast<char*>(record.data) + r * rowBytes);
            delivered.insert(delivered.end(), row, row + 6);
        }
    });
    ASSERT_EQ(Run(doc).result, exportNoErr);
    EXPECT_EQ(rowBytes, 3 * 2 * 2);
    std::vector<uint16_t> expected;
    for (uint32_t y = 1; y < 3; ++y) {
        for (uint32_t x = 2; x < 5; ++x) {
            for (uint32_t c = 1; c <= 2; ++c) {
                expected.push_back(host::ToHostRange(samples[(y * width + x) * 4 + c]));
            }
        }
    }
    EXPECT_EQ(delivered, expected);
}

TEST_F(ExportSessionTest, EightBitAndFloatSamplesAreDeliveredAsStored) {
    MemoryDocument gray(Info(3, 1, ColorModel::Gray, SampleType::UInt8, 2), {10, 11, 20, 21, 30, 31});
    std::vector<unsigned char> got;
    PlayStart([&](ExportRecord& record, int16_t& result) {
        Request(record, VRect{0, 1, 1, 3}, 1, 1); // the alpha of the last two pixels
        result = record.advanceState();
        const auto* data = static_cast<const unsigned char*>(record.data);
        got.assign(data, data + record.rowBytes);
    });
    ASSERT_EQ(Run(gray).result, exportNoErr);
    EXPECT_EQ(got, (std::vector<unsigned char>{21, 31}));

    const float values[] = {-0.0f, 1e30f, 0.25f};
    std::vector<unsigned char> bytes(sizeof values);
    std::memcpy(bytes.data(), values, sizeof values);
    MemoryDocument floats(Info(1, 1, ColorModel::Rgb, SampleType::Float32, 3), bytes);
    PlayStart([&](ExportRecord& record, int16_t& result) {
        Request(record, VRect{0, 0, 1, 1}, 0, 2);
        result = record.advanceState();
        const auto* data = static_cast<const unsigned char*>(record.data);
        got.assign(data, data + record.rowBytes);
    });
    ASSERT_EQ(Run(floats).result, exportNoErr);
    EXPECT_EQ(got, bytes);
}

struct BadRequest {
    const char* what;
    VRect rect;
    int16_t lo, hi;
    const char* reason;
};

TEST_F(ExportSessionTest, RequestsOutsideTheDocumentOrBeyondMaxDataAreRefused) {
    const BadRequest cases[] = {
        {"below the last row", VRect{3, 0, 5, 1}, 0, 0, "rows 3..5"},
        {"right of the last column", VRect{0, 3, 1, 5}, 0, 0, "columns 3..5"},
        {"negative", VRect{-1, 0, 1, 1}, 0, 0, "rows -1..1"},
        {"empty", VRect{1, 1, 1, 1}, 0, 0, "rows 1..1"},
        {"a plane too many", VRect{0, 0, 1, 1}, 0, 2, "planes 0..2"},
        {"planes reversed", VRect{0, 0, 1, 1}, 1, 0, "planes 1..0"},
    };
    MemoryDocument doc(Info(4, 4, ColorModel::Gray, SampleType::UInt8, 2), std::vector<unsigned char>(32));
    for (const BadRequest& bad : cases) {
        int16_t answer = 0;
        void* data = &answer;
        PlayStart([&](ExportRecord& record, int16_t& result) {
            Request(record, bad.rect, bad.lo, bad.hi);
            answer = record.advanceState();
            data = record.data;
            result = answer; // passed back unchanged, as a plug-in does
        });
        const ExportOutcome outcome = Run(doc);
        EXPECT_EQ(answer, exportErrParam) << bad.what;
        EXPECT_EQ(data, nullptr) << bad.what;
        EXPECT_EQ(outcome.result, exportErrParam) << bad.what;
        EXPECT_NE(outcome.hostError.find(bad.reason), std::string::npos)
            << bad.what << ": " << outcome.hostError;
    }
}

TEST_F(ExportSessionTest, APlugInCannotRaiseMaxData) {
    const uint32_t width = 4096;
    MemoryDocument doc(Info(width, 4096, ColorModel::Gray, SampleType::UInt8, 1), {});
    const int32_t rows = ExportSession::kOfferedMaxData / width + 1; // one row more than offered
    int16_t answer = 0;
    plugin = [&](int16_t selector, ExportRecord& record, int16_t&) {
        if (selector == exportSelectorPrepare) {
            record.PluginUsing32BitCoordinates = 1;
            record.maxData = 2 * ExportSession::kOfferedMaxData;
        } else if (selector == exportSelectorStart) {
            Request(record, VRect{0, 0, rows, int32_t(width)}, 0, 0);
            answer = record.advanceState();
            Done(record);
        }
    };
    const ExportOutcome outcome = Run(doc);
    EXPECT_EQ(answer, exportErrParam);
    EXPECT_NE(outcome.hostError.find("maxData"), std::string::npos) << outcome.hostError;
}

TEST_F(ExportSessionTest, APlugInThatKeepsSixteenBitCoordinatesIsServedFromTheRect) {
    MemoryDocument doc(Info(2, 2, ColorModel::Gray, SampleType::UInt8, 1), {1, 2, 3, 4});
    int16_t answer = -1;
    unsigned char pixel = 0;
    plugin = [&](int16_t selector, ExportRecord& record, int16_t&) {
        if (selector == exportSelectorStart) {
            record.theRect32 =
                VRect{100, 100, 200, 200}; // not read: the plug-in did not take 32-bit coordinates
            record.theRect = Rect{1, 1, 2, 2};
            answer = record.advanceState();
            pixel = *static_cast<unsigned char*>(record.data);
            record.theRect = Rect{0, 0, 0, 0};
        }
    };
    EXPECT_EQ(Run(doc).result, exportNoErr);
    EXPECT_EQ(answer, exportNoErr);
    EXPECT_EQ(pixel, 4);
    EXPECT_EQ(selectors.back(), exportSelectorFinish);
    EXPECT_EQ(selectors.size(), 3u) << "an empty 16-bit region wants no Continue";
}

TEST_F(ExportSessionTest, AbortProcAndProgressProcReachTheObserver) {
    MemoryDocument doc(Info(1, 1, ColorModel::Gray, SampleType::UInt8, 1), {0});
    bool cancel = false;
    std::vector<int32_t> progress;
    host::ExportObserver observer{[&](int32_t done, int32_t total) {
                                      progress.insert(progress.end(), {done, total});
                                  },
                                  [&] { return cancel; }};
    std::vector<int> aborts;
    PlayStart([&](ExportRecord& record, int16_t&) {
        aborts.push_back(record.abortProc());
        cancel = true;
        aborts.push_back(record.abortProc());
        record.progressProc(0, 1);
    });
    Run(doc, observer);
    EXPECT_EQ(aborts, (std::vector<int>{0, 1}));
    EXPECT_EQ(progress, (std::vector<int32_t>{0, 1}));
}

TEST(HostRange, SixteenBitFileSamplesAreRoundedIntoZeroTo32768) {
    EXPECT_EQ(host::ToHostRange(0), 0);
    EXPECT_EQ(host::ToHostRange(1), 1);         // 0.50001 rounds up
    EXPECT_EQ(host::ToHostRange(32767), 16384); // 16383.75
    EXPECT_EQ(host::ToHostRange(65534), 32767); // 32767.49999
    EXPECT_EQ(host::ToHostRange(65535), 32768);
    for (uint32_t v = 0; v <= 65535; ++v) {
        ASSERT_EQ(host::ToHostRange(uint16_t(v)), (v * 32768 + 32767) / 65535) << v;
    }
}

} // namespace

// Region delivery of the host library, in every kind of memory it serves from: the bytes a plug-in reads at
// data with rowBytes must be the document's requested samples, whatever the layout.
#include "HostCore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct DeliveryCase {
    host::DeliveryMemory memory;
    int16_t loPlane;
    int16_t hiPlane;
    int32_t padding;
    bool misaligned;
    bool inPlace; // served as a pointer into the document
};

class Delivery : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(Delivery, HandsOverTheRequestedSamplesInEveryLayout) {
    const DeliveryCase c = GetParam();
    host::MemoryDocument document(plugInModeRGB48, 16, 4, 7, 5, "Layout.psd");
    document.FillRandom(7);
    const VRect rect{1, 2, 4, 6};
    ExportRecord* seen = nullptr;
    std::vector<std::vector<uint8_t>> rows;
    auto plugin = [&](int16_t, void* block, intptr_t*, int16_t* result) {
        auto& record = *static_cast<ExportRecord*>(block);
        record.PluginUsing32BitCoordinates = 1;
        record.theRect32 = rect;
        record.loPlane = c.loPlane;
        record.hiPlane = c.hiPlane;
        *result = record.advanceState();
        if (*result != exportNoErr) {
            return;
        }
        const size_t rowBytes = size_t(rect.right - rect.left) * size_t(c.hiPlane - c.loPlane + 1) * 2;
        for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
            const auto* row = static_cast<const uint8_t*>(record.data) + size_t(y) * size_t(record.rowBytes);
            rows.emplace_back(row, row + rowBytes);
        }
        seen = &record;
    };
    host::HostOptions options;
    options.memory = c.memory;
    host::HostCore host(plugin, document, options);
    host.Behaviour().rowBytesPadding = c.padding;
    host.Behaviour().misaligned = c.misaligned;

    ASSERT_EQ(host.Call(exportSelectorStart), exportNoErr);
    ASSERT_NE(seen, nullptr);
    const auto* start = host.Doc().SampleAddress(rect.left, rect.top, 0);
    EXPECT_EQ(host.Record().data == start, c.inPlace);
    ASSERT_EQ(rows.size(), 3u);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const size_t at = size_t(x - rect.left) * size_t(c.hiPlane - c.loPlane + 1) * 2;
            EXPECT_EQ(std::memcmp(rows[size_t(y)].data() + at,
                                  host.Doc().SampleAddress(x, rect.top + y, c.loPlane),
                                  size_t(c.hiPlane - c.loPlane + 1) * 2),
                      0)
                << "row " << y << ", column " << x;
        }
    }
    EXPECT_EQ(host.RegionsDelivered(), 1);
}

INSTANTIATE_TEST_SUITE_P(Memory, Delivery,
                         ::testing::Values(DeliveryCase{host::DeliveryMemory::Copy, 0, 3, 0, false, false},
                                           DeliveryCase{host::DeliveryMemory::Copy, 1, 2, 6, true, false},
                                           DeliveryCase{host::DeliveryMemory::InPlace, 0, 3, 0, false, true},
                                           DeliveryCase{host::DeliveryMemory::InPlace, 1, 3, 0, false, false},
                                           DeliveryCase{host::DeliveryMemory::InPlace, 0, 3, 8, false, false},
                                           DeliveryCase{host::DeliveryMemory::Guarded, 0, 0, 2, true, false},
                                           DeliveryCase{host::DeliveryMemory::ExactHeap, 2, 3, 4, false,
                                                        false}));

} // namespace

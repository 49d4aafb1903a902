// The region arithmetic of the transfer: the pixels a region spans and the rectangle helpers.
#include "Export/ExportRegion.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

struct SpanCase {
    int32_t left;
    int32_t right;
    unsigned int pixels;
};

TEST(ExportRegion, NumPixelIsTheColumnSpanOrZero) {
    for (const SpanCase& c :
         {SpanCase{0, 10000, 10000}, SpanCase{20000, 25000, 5000}, SpanCase{5, 5, 0}, SpanCase{6, 5, 0},
          SpanCase{-1, 5, 0}, SpanCase{-5, -1, 0}, SpanCase{0, INT32_MAX, unsigned(INT32_MAX)}}) {
        _exp::SExportRegion region;
        region.rcRegion.left = c.left;
        region.rcRegion.right = c.right;
        region.rcRegion.top = 3; // rows are ignored
        EXPECT_EQ(region.GetNumPixel(), c.pixels) << c.left << ".." << c.right;
    }
    EXPECT_EQ(_exp::SExportRegion().GetNumPixel(), 0u);
}

TEST(ExportRegion, SetRectTakesTheHorizontalPairFirst) {
    VRect rect{};
    _hlp::SetRect(rect, 1, 2, 3, 4);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.right, 2);
    EXPECT_EQ(rect.top, 3);
    EXPECT_EQ(rect.bottom, 4);
    VRect copy{};
    _hlp::CopyRect(copy, rect);
    EXPECT_EQ(std::memcmp(&copy, &rect, sizeof rect), 0);
}

} // namespace

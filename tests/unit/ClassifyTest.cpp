// Which documents the export supports, and the buffer each one gets.
#include "Export/Classify.h"
#include "ConvertBuffer/ConvertBuffer.h"
#include "Export/ExportBuffer.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>

namespace {

using namespace _exp;

enum EBuffer { eNONE, e8, e16, eFLOAT };

struct ClassCase {
    int16_t mode;
    int16_t depth;
    int16_t planes;
    EInputMode inputMode;
    EInputDepth inputDepth;
    EExportMode exportMode;
    EInputFormat format;
    EBuffer buffer;
};

// Printed by the test framework in place of the object's bytes.
void PrintTo(const ClassCase& c, std::ostream* os) {
    *os << "mode " << c.mode << ", depth " << c.depth << ", " << c.planes << " planes";
}

ExportRecord Record(int16_t mode, int16_t depth, int16_t planes) {
    ExportRecord record;
    std::memset(&record, 0, sizeof record);
    record.imageMode = mode;
    record.depth = depth;
    record.planes = planes;
    return record;
}

bool IsBuffer(const IConvertBuffer* buffer, EBuffer kind) {
    switch (kind) {
    case e8:
        return dynamic_cast<const CConvertBuffer<unsigned short, unsigned char>*>(buffer) != nullptr;
    case e16:
        return dynamic_cast<const CConvertBuffer<unsigned short, unsigned short>*>(buffer) != nullptr;
    case eFLOAT:
        return dynamic_cast<const CConvertBuffer<float, float>*>(buffer) != nullptr;
    default:
        return buffer == nullptr;
    }
}

class Classify : public ::testing::TestWithParam<ClassCase> {};

TEST_P(Classify, ModeDepthAndPlanesGiveEveryClassification) {
    const ClassCase& c = GetParam();
    const ExportRecord record = Record(c.mode, c.depth, c.planes);
    EXPECT_EQ(GetInputMode(&record), c.inputMode);
    EXPECT_EQ(GetInputDepth(&record), c.inputDepth);
    EXPECT_EQ(GetExportMode(&record), c.exportMode);
    EXPECT_EQ(GetInputFormat(&record), c.format);
    EXPECT_TRUE(IsBuffer(CreateBuffer(&record).get(), c.buffer));
}

const EInputFormat eRGB = eINPUT_FORMAT_RGB;
const EInputFormat eGRAY = eINPUT_FORMAT_GRAY;
const EInputFormat eNO_FORMAT = eINPUT_FORMAT_NONE;

INSTANTIATE_TEST_SUITE_P(
    Table, Classify,
    ::testing::Values(
        // Every supported mode at its own depth.
        ClassCase{plugInModeRGBColor, 8, 3, eINPUT_MODE_RGB_8, eINPUT_DEPTH_8, eEXPORT_MODE_PPM, eRGB, e8},
        ClassCase{plugInModeRGB48, 16, 3, eINPUT_MODE_RGB_16, eINPUT_DEPTH_16, eEXPORT_MODE_PPM, eRGB, e16},
        ClassCase{plugInModeRGB96, 32, 3, eINPUT_MODE_RGB_32, eINPUT_DEPTH_32, eEXPORT_MODE_PFM, eRGB,
                  eFLOAT},
        ClassCase{plugInModeGrayScale, 8, 1, eINPUT_MODE_GRAY_8, eINPUT_DEPTH_8, eEXPORT_MODE_PPM, eGRAY, e8},
        ClassCase{plugInModeGray16, 16, 1, eINPUT_MODE_GRAY_16, eINPUT_DEPTH_16, eEXPORT_MODE_PPM, eGRAY,
                  e16},
        ClassCase{plugInModeGray32, 32, 1, eINPUT_MODE_GRAY_32, eINPUT_DEPTH_32, eEXPORT_MODE_PFM, eGRAY,
                  eFLOAT},
        // The depth comes from the depth field alone.
        ClassCase{plugInModeRGBColor, 16, 3, eINPUT_MODE_RGB_16, eINPUT_DEPTH_16, eEXPORT_MODE_PPM, eRGB,
                  e16},
        ClassCase{plugInModeRGB48, 32, 3, eINPUT_MODE_RGB_32, eINPUT_DEPTH_32, eEXPORT_MODE_PFM, eRGB,
                  eFLOAT},
        ClassCase{plugInModeGray32, 8, 1, eINPUT_MODE_GRAY_8, eINPUT_DEPTH_8, eEXPORT_MODE_PPM, eGRAY, e8},
        // Extra planes are accepted.
        ClassCase{plugInModeRGBColor, 8, 4, eINPUT_MODE_RGB_8, eINPUT_DEPTH_8, eEXPORT_MODE_PPM, eRGB, e8},
        ClassCase{plugInModeRGB96, 32, 7, eINPUT_MODE_RGB_32, eINPUT_DEPTH_32, eEXPORT_MODE_PFM, eRGB,
                  eFLOAT},
        ClassCase{plugInModeGray16, 16, 2, eINPUT_MODE_GRAY_16, eINPUT_DEPTH_16, eEXPORT_MODE_PPM, eGRAY,
                  e16},
        // Too few planes.
        ClassCase{plugInModeRGBColor, 8, 2, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE,
                  eNO_FORMAT, eNONE},
        ClassCase{plugInModeRGB48, 16, 1, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE, eNO_FORMAT,
                  eNONE},
        ClassCase{plugInModeGrayScale, 8, 0, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE,
                  eNO_FORMAT, eNONE},
        ClassCase{plugInModeGray32, 32, -1, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE,
                  eNO_FORMAT, eNONE},
        // Depths other than 8, 16 and 32.
        ClassCase{plugInModeRGBColor, 1, 3, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE,
                  eNO_FORMAT, eNONE},
        ClassCase{plugInModeRGB48, 24, 3, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE, eNO_FORMAT,
                  eNONE},
        ClassCase{plugInModeGray16, 0, 1, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE, eNO_FORMAT,
                  eNONE},
        ClassCase{plugInModeGrayScale, 64, 1, eINPUT_MODE_NONE, eINPUT_DEPTH_NONE, eEXPORT_MODE_NONE,
                  eNO_FORMAT, eNONE}));

// Modes outside the six are refused whatever their depth and planes.
TEST(ClassifyMode, UnknownModesAreNeverSupported) {
    for (int16_t mode : {0, 2, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 18, -1}) {
        for (int16_t depth : {8, 16, 32}) {
            for (int16_t planes : {1, 3, 4}) {
                const ExportRecord record = Record(mode, depth, planes);
                EXPECT_FALSE(IsGrayMode(&record));
                EXPECT_FALSE(IsRGBMode(&record));
                EXPECT_EQ(GetInputMode(&record), eINPUT_MODE_NONE) << mode;
                EXPECT_EQ(CreateBuffer(&record), nullptr);
            }
        }
    }
}

TEST(ClassifyMode, NullRecordThrowsMissingParameter) {
    const std::function<void()> calls[] = {
        [] { IsGrayMode(nullptr); },    [] { IsRGBMode(nullptr); },     [] { GetInputMode(nullptr); },
        [] { GetInputDepth(nullptr); }, [] { GetExportMode(nullptr); }, [] { GetInputFormat(nullptr); },
        [] { CreateBuffer(nullptr); },
    };
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "no throw";
        } catch (EError code) {
            EXPECT_EQ(code, eERROR_MISSING_PARAMETER);
        }
    }
}

// What an export can finish: the buffer's last plane count and the smallest document are the edges.
TEST(Exportable, NeedsPixelsAndPlanesTheBufferHolds) {
    struct Case {
        int16_t mode;
        int16_t planes;
        int32_t width;
        int32_t height;
        bool exportable;
    };
    const Case cases[] = {
        {plugInModeRGBColor, 3, 1, 1, true},      {plugInModeRGBColor, 30000, 1, 1, true},
        {plugInModeRGBColor, 30001, 1, 1, false}, {plugInModeGrayScale, 32767, 1, 1, false},
        {plugInModeRGBColor, 3, 0, 1, false},     {plugInModeRGBColor, 3, 1, 0, false},
        {plugInModeRGBColor, 3, -1, 5, false},    {plugInModeRGBColor, 3, INT32_MIN, INT32_MIN, false},
        {plugInModeRGBColor, 2, 1, 1, false},     {plugInModeGrayScale, -1, 1, 1, false},
    };
    for (const Case& c : cases) {
        ExportRecord record = Record(c.mode, 8, c.planes);
        record.imageSize32.h = c.width;
        record.imageSize32.v = c.height;
        EXPECT_EQ(IsExportable(&record), c.exportable)
            << c.mode << " " << c.planes << " planes " << c.width << " x " << c.height;
    }
    EXPECT_THROW(IsExportable(nullptr), EError);
}

} // namespace

// One kind of document a table-driven test exports: mode, depth, planes and the file's extension.
#ifndef QUENFIELD_TESTS_DOCUMENTKIND_H
#define QUENFIELD_TESTS_DOCUMENTKIND_H

#include "ExportInterface.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace testhost {

struct Kind {
    int16_t mode;
    int16_t depth;
    int16_t planes;
    const char* extension;
};

// Printed by the test framework in place of the object's bytes.
inline void PrintTo(const Kind& c, std::ostream* os) {
    *os << "mode " << c.mode << ", depth " << c.depth << ", " << c.planes << " planes";
}

// The test's name: Gray8Bit2Planes, RGB32Bit4Planes.
inline std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
    const int16_t mode = info.param.mode;
    const bool gray = mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
    return std::string(gray ? "Gray" : "RGB") + std::to_string(info.param.depth) + "Bit" +
           std::to_string(info.param.planes) + "Planes";
}

} // namespace testhost

#endif

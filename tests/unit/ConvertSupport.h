// Shared by the conversion tests: runs samples through a buffer and looks at the output as file bytes.
#ifndef QUENFIELD_TESTS_CONVERTSUPPORT_H
#define QUENFIELD_TESTS_CONVERTSUPPORT_H

#include "ConvertBuffer/ConvertBuffer.h"
#include "ThrownCode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace convert_test {

using Bytes = std::vector<uint8_t>;
using Buffer8 = CConvertBuffer<unsigned short, unsigned char>;
using Buffer16 = CConvertBuffer<unsigned short, unsigned short>;
using BufferFloat = CConvertBuffer<float, float>;

// The bytes GetData hands out for numPixel pixels.
inline Bytes OutputBytes(IConvertBuffer& buffer, unsigned int numPixel) {
    void* data = nullptr;
    unsigned int bytes = 0;
    EXPECT_TRUE(buffer.GetData(&data, &bytes, numPixel));
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    return Bytes(begin, begin + bytes);
}

// SetData + ConvertData + GetData over one run, as the export driver calls them, with the samples `offset`
// bytes past an aligned address (1: converted from the buffer's copy instead of where they lie).
template <class Buffer, class U>
Bytes ConvertRun(EInputFormat format, unsigned int planes, const std::vector<U>& samples, size_t offset = 0) {
    auto buffer = std::make_unique<Buffer>();
    EXPECT_TRUE(buffer->Create(format, planes));
    const unsigned int numPixel = static_cast<unsigned int>(samples.size() / planes);
    const size_t bytes = samples.size() * sizeof(U);
    Bytes placed(offset + bytes);
    std::memcpy(placed.data() + offset, samples.data(), bytes);
    EXPECT_TRUE(buffer->SetData(placed.data() + offset, static_cast<unsigned int>(bytes), numPixel));
    EXPECT_TRUE(buffer->ConvertData(numPixel));
    return OutputBytes(*buffer, numPixel);
}

// The same run, pixel by pixel through ConvertRGB / ConvertGray at the indices ConvertData uses.
template <class Buffer, class U>
Bytes ConvertPixelByPixel(EInputFormat format, unsigned int planes, const std::vector<U>& samples) {
    auto buffer = std::make_unique<Buffer>();
    EXPECT_TRUE(buffer->Create(format, planes));
    const unsigned int numPixel = static_cast<unsigned int>(samples.size() / planes);
    EXPECT_TRUE(
        buffer->SetData(samples.data(), static_cast<unsigned int>(samples.size() * sizeof(U)), numPixel));
    for (unsigned int i = 0; i < numPixel; ++i) {
        if (format == eINPUT_FORMAT_RGB) {
            buffer->ConvertRGB(3 * i, planes * i);
        } else {
            buffer->ConvertGray(3 * i, planes * i);
        }
    }
    return OutputBytes(*buffer, numPixel);
}

} // namespace convert_test

#endif

// The conversion buffer: fixed input and output arrays inside the object, so that nothing is allocated after
// construction. A run whose every sample is read (RGB of three planes, gray of one) is converted straight
// from the caller's memory where its samples are aligned for their type, and one the file takes byte for byte
// (floats, three planes, on a little-endian processor) is handed out where it lies, without any pass; the
// caller's memory must then stay as it is until GetData's bytes have been used. Any other run is copied into
// the input array first: the loops that pick three samples out of wider pixels measured no faster reading the
// caller's memory, and the copy keeps their reads within the array.
#ifndef QUENFIELD_CONVERTBUFFER_CONVERTBUFFER_H
#define QUENFIELD_CONVERTBUFFER_CONVERTBUFFER_H

#include "ConvertBuffer/ConvertRuns.h"
#include "ConvertBuffer/ConvertValue.h"
#include "ConvertBuffer/IConvertBuffer.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstring>

constexpr unsigned int uiBUFFER_SIZE = 30000; // elements in each array, of the array's own type
constexpr unsigned int uiMAX_PIXEL = 10000;   // upper cap of the pixels per run
constexpr unsigned int uiOUTPUT_CHANNELS = 3; // samples per output pixel: red, green, blue

// T is the file's sample type, U the host's.
template <class T, class U>
class CConvertBuffer : public IConvertBuffer {
public:
    CConvertBuffer();
    ~CConvertBuffer() override;

    bool Create(EInputFormat format, unsigned int planes) override;
    void Destroy() override;
    unsigned int GetMaxPixel() const override;
    bool SetData(const void* data, unsigned int dataBytes, unsigned int numPixel) override;
    bool ConvertData(unsigned int numPixel) override;
    bool GetData(void** data, unsigned int* dataBytes, unsigned int numPixel) override;

    void Reset();
    bool IsValid() const;

    // One sample, as it goes to the file.
    T Convert(U value) const;
    // One pixel: three samples written from outputIndex on, read from inputIndex on (RGB) or read once
    // (gray), in the samples SetData took.
    void ConvertGray(unsigned int outputIndex, unsigned int inputIndex);
    void ConvertRGB(unsigned int outputIndex, unsigned int inputIndex);

private:
    static constexpr unsigned int uiLAST_TRIPLE = uiBUFFER_SIZE - uiOUTPUT_CHANNELS;

    // Whether samples from inputIndex on, `reach` of them, lie within what SetData took.
    bool HoldsInput(unsigned int inputIndex, unsigned int reach) const;
    void HandOutArray();
    bool HandOutInput();

    uint32_t uiPlanes;
    uint32_t uiMaxPixel;
    uint32_t uiInputPixelBytes;
    uint32_t uiOutputPixelBytes;
    uint32_t uiInputBufferBytes;
    uint32_t uiOutputBufferBytes;
    EInputFormat eFormat;
    const U* pInput;            // the run SetData took: the caller's samples or aInput
    unsigned int uiInputLength; // samples readable at pInput
    const T* pOutput;           // what GetData hands out: aOutput, or pInput where the file takes it as it is
    unsigned int uiOutputLength;
    // On cache-line boundaries: the run loops' widest loads and stores then never straddle two lines.
    alignas(64) U aInput[uiBUFFER_SIZE];
    alignas(64) T aOutput[uiBUFFER_SIZE];
};

template <class T, class U>
CConvertBuffer<T, U>::CConvertBuffer() {
    Reset();
}

template <class T, class U>
CConvertBuffer<T, U>::~CConvertBuffer() {
    CConvertBuffer::Destroy();
}

template <class T, class U>
bool CConvertBuffer<T, U>::Create(EInputFormat format, unsigned int planes) {
    _hlp::Require(format != eINPUT_FORMAT_NONE);
    _hlp::Require(planes != 0);
    Reset();
    eFormat = format;
    uiPlanes = planes;
    uiMaxPixel = std::min<unsigned int>(uiMAX_PIXEL,
                                        uiBUFFER_SIZE / std::max<unsigned int>(planes, uiOUTPUT_CHANNELS));
    if (uiMaxPixel == 0) {
        return false;
    }
    uiInputPixelBytes = planes * sizeof(U);
    uiOutputPixelBytes = uiOUTPUT_CHANNELS * sizeof(T);
    uiInputBufferBytes = uiBUFFER_SIZE * sizeof(U);
    uiOutputBufferBytes = uiBUFFER_SIZE * sizeof(T);
    return true;
}

template <class T, class U>
void CConvertBuffer<T, U>::Destroy() {
    Reset();
}

template <class T, class U>
void CConvertBuffer<T, U>::Reset() {
    uiPlanes = 0;
    uiMaxPixel = 0;
    uiInputPixelBytes = 0;
    uiOutputPixelBytes = 0;
    uiInputBufferBytes = 0;
    uiOutputBufferBytes = 0;
    eFormat = eINPUT_FORMAT_NONE;
    pInput = aInput;
    uiInputLength = uiBUFFER_SIZE;
    HandOutArray();
    std::fill_n(aInput, uiBUFFER_SIZE, U(0));
    std::fill_n(aOutput, uiBUFFER_SIZE, T(0));
}

template <class T, class U>
bool CConvertBuffer<T, U>::IsValid() const {
    return uiPlanes != 0 && uiMaxPixel != 0 && uiInputPixelBytes != 0 && uiOutputPixelBytes != 0 &&
           uiInputBufferBytes != 0 && uiOutputBufferBytes != 0 && eFormat != eINPUT_FORMAT_NONE;
}

template <class T, class U>
unsigned int CConvertBuffer<T, U>::GetMaxPixel() const {
    _hlp::Require(IsValid());
    return uiMaxPixel;
}

template <class T, class U>
bool CConvertBuffer<T, U>::SetData(const void* data, unsigned int dataBytes, unsigned int numPixel) {
    _hlp::Require(data != nullptr);
    _hlp::Require(dataBytes != 0);
    _hlp::Require(numPixel != 0 && numPixel <= uiMaxPixel);
    _hlp::Require(IsValid());
    const unsigned int bytes = uiInputPixelBytes * numPixel;
    if (bytes > uiInputBufferBytes || bytes > dataBytes) {
        return false;
    }
    const unsigned int samplesRead = eFormat == eINPUT_FORMAT_RGB ? uiOUTPUT_CHANNELS : 1;
    if (uiPlanes == samplesRead && reinterpret_cast<uintptr_t>(data) % alignof(U) == 0) {
        pInput = static_cast<const U*>(data);
        uiInputLength = bytes / sizeof(U);
    } else {
        std::memcpy(aInput, data, bytes);
        pInput = aInput;
        uiInputLength = uiBUFFER_SIZE;
    }
    return true;
}

template <class T, class U>
bool CConvertBuffer<T, U>::HoldsInput(unsigned int inputIndex, unsigned int reach) const {
    return inputIndex < uiInputLength && uiInputLength - inputIndex >= reach;
}

template <class T, class U>
bool CConvertBuffer<T, U>::GetData(void** data, unsigned int* dataBytes, unsigned int numPixel) {
    _hlp::Require(data != nullptr);
    _hlp::Require(dataBytes != nullptr);
    _hlp::Require(numPixel != 0 && numPixel <= uiMaxPixel);
    _hlp::Require(IsValid());
    const unsigned int bytes = uiOutputPixelBytes * numPixel;
    if (bytes > uiOutputBufferBytes) {
        return false;
    }
    _hlp::Require(uiOUTPUT_CHANNELS * numPixel <= uiOutputLength);
    // Only read from there on: the file is written from it.
    *data = const_cast<T*>(pOutput);
    *dataBytes = bytes;
    return true;
}

template <class T, class U>
bool CConvertBuffer<T, U>::ConvertData(unsigned int numPixel) {
    _hlp::Require(numPixel != 0 && numPixel <= uiMaxPixel);
    _hlp::Require(IsValid());
    if (eFormat != eINPUT_FORMAT_RGB && eFormat != eINPUT_FORMAT_GRAY) {
        return false;
    }
    // The pixels' indices grow with the pixel, so the last pixel's indices passing ConvertRGB's and
    // ConvertGray's guards means every pixel's do; checked once, before anything is written. Within
    // GetMaxPixel they always pass.
    const unsigned int last = numPixel - 1;
    _hlp::Require(uiOUTPUT_CHANNELS * last <= uiLAST_TRIPLE);
    const bool rgb = eFormat == eINPUT_FORMAT_RGB;
    _hlp::Require(HoldsInput(uiPlanes * last, rgb ? uiOUTPUT_CHANNELS : 1));
    HandOutArray();
    if (!rgb) {
        _hlp::MapRunGray(pInput, aOutput, numPixel, uiPlanes);
    } else if (!HandOutInput()) {
        _hlp::MapRunRGB(pInput, aOutput, numPixel, uiPlanes);
    }
    return true;
}

template <class T, class U>
void CConvertBuffer<T, U>::HandOutArray() {
    pOutput = aOutput;
    uiOutputLength = uiBUFFER_SIZE;
}

// Three planes whose samples the file takes unchanged: the run is already the file's bytes.
template <class T, class U>
bool CConvertBuffer<T, U>::HandOutInput() {
    if constexpr (_hlp::bSAME_IN_FILE<T, U>) {
        if (uiPlanes == uiOUTPUT_CHANNELS) {
            pOutput = pInput;
            uiOutputLength = uiInputLength;
            return true;
        }
    }
    return false;
}

template <class T, class U>
void CConvertBuffer<T, U>::ConvertRGB(unsigned int outputIndex, unsigned int inputIndex) {
    _hlp::Require(outputIndex <= uiLAST_TRIPLE);
    _hlp::Require(HoldsInput(inputIndex, uiOUTPUT_CHANNELS));
    HandOutArray();
    for (unsigned int k = 0; k < uiOUTPUT_CHANNELS; ++k) {
        aOutput[outputIndex + k] = Convert(pInput[inputIndex + k]);
    }
}

template <class T, class U>
void CConvertBuffer<T, U>::ConvertGray(unsigned int outputIndex, unsigned int inputIndex) {
    _hlp::Require(outputIndex <= uiLAST_TRIPLE);
    _hlp::Require(HoldsInput(inputIndex, 1));
    HandOutArray();
    const T value = Convert(pInput[inputIndex]);
    for (unsigned int k = 0; k < uiOUTPUT_CHANNELS; ++k) {
        aOutput[outputIndex + k] = value;
    }
}

// Convert, per buffer. The 16-bit samples go to the file most significant byte first, the floats
// least significant byte first (see ConvertValue.h).
template <>
inline unsigned short CConvertBuffer<unsigned short, unsigned char>::Convert(unsigned char value) const {
    return _hlp::ToBigEndian(_hlp::MapTo16Bit(value));
}

template <>
inline unsigned short CConvertBuffer<unsigned short, unsigned short>::Convert(unsigned short value) const {
    return _hlp::ToBigEndian(_hlp::MapTo16Bit(static_cast<float>(value) / 32768.0f));
}

template <>
inline float CConvertBuffer<float, float>::Convert(float value) const {
    return _hlp::ToLittleEndian(value);
}

// The members are compiled once, in ConvertBuffer.cpp, for the three buffers the plug-in uses.
extern template class CConvertBuffer<unsigned short, unsigned char>;
extern template class CConvertBuffer<unsigned short, unsigned short>;
extern template class CConvertBuffer<float, float>;

#endif

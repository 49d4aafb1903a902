// The conversion buffer interface: takes a run of host pixels and hands out the export file's samples.
#ifndef QUENFIELD_ICONVERTBUFFER_H
#define QUENFIELD_ICONVERTBUFFER_H

#include <cstdint>

enum EInputFormat : int32_t {
    eINPUT_FORMAT_NONE = 0,
    eINPUT_FORMAT_RGB = 1,  // the first three samples of each pixel are red, green, blue
    eINPUT_FORMAT_GRAY = 2, // the first sample of each pixel is the gray value
};

class IConvertBuffer {
public:
    IConvertBuffer() = default;
    IConvertBuffer(const IConvertBuffer&) = delete;
    IConvertBuffer& operator=(const IConvertBuffer&) = delete;
    virtual ~IConvertBuffer() = default;

    virtual bool Create(EInputFormat format, unsigned int planes) = 0;
    virtual void Destroy() = 0;
    virtual unsigned int GetMaxPixel() const = 0;
    virtual bool SetData(const void* data, unsigned int dataBytes, unsigned int numPixel) = 0;
    virtual bool ConvertData(unsigned int numPixel) = 0;
    virtual bool GetData(void** data, unsigned int* dataBytes, unsigned int numPixel) = 0;
};

#endif

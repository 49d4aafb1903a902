// The three buffers the plug-in uses, compiled once here.
#include "ConvertBuffer/ConvertBuffer.h"

template class CConvertBuffer<unsigned short, unsigned char>;
template class CConvertBuffer<unsigned short, unsigned short>;
template class CConvertBuffer<float, float>;

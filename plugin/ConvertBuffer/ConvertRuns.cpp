// The loops are written for the vectoriser: the arrays arrive as restricted parameters, the common plane
// counts are compile-time constants, and nothing in a loop can throw. Where the build supports it, each run
// function is compiled three times, for the baseline processor, for AVX2 and for AVX-512 (where the plane
// count 4 gathers in one two-register permute instead of a chain of shuffles), and the loader picks one.
#include "ConvertBuffer/ConvertRuns.h"

#include <cstddef>

#if QUENFIELD_VECTOR_CLONES
#define QUENFIELD_RUN_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define QUENFIELD_RUN_CLONES
#endif

namespace {

const unsigned int uiCHANNELS = 3;

// Always inlined, so that each clone of the run functions compiles its own copy of the loops.
// uiSTRIDE is the plane count when known, 0 to take `planes`.
template <unsigned int uiSTRIDE, class T, class U>
[[gnu::always_inline]] inline void RunRGB(const U* __restrict input, T* __restrict output,
                                          unsigned int numPixel, unsigned int planes) {
    if (uiSTRIDE == uiCHANNELS) {
        // Input and output have the same layout: one flat pass.
        for (size_t i = 0; i < size_t{uiCHANNELS} * numPixel; ++i) {
            output[i] = _hlp::MapToFile(input[i]);
        }
        return;
    }
    const size_t stride = uiSTRIDE != 0 ? uiSTRIDE : planes;
    for (size_t i = 0; i < numPixel; ++i) {
        output[uiCHANNELS * i] = _hlp::MapToFile(input[stride * i]);
        output[uiCHANNELS * i + 1] = _hlp::MapToFile(input[stride * i + 1]);
        output[uiCHANNELS * i + 2] = _hlp::MapToFile(input[stride * i + 2]);
    }
}

template <unsigned int uiSTRIDE, class T, class U>
[[gnu::always_inline]] inline void RunGray(const U* __restrict input, T* __restrict output,
                                           unsigned int numPixel, unsigned int planes) {
    const size_t stride = uiSTRIDE != 0 ? uiSTRIDE : planes;
    for (size_t i = 0; i < numPixel; ++i) {
        const T value = _hlp::MapToFile(input[stride * i]);
        output[uiCHANNELS * i] = value;
        output[uiCHANNELS * i + 1] = value;
        output[uiCHANNELS * i + 2] = value;
    }
}

template <class T, class U>
[[gnu::always_inline]] inline void DispatchRGB(const U* __restrict input, T* __restrict output,
                                               unsigned int numPixel, unsigned int planes) {
    switch (planes) {
    case 3:
        RunRGB<3>(input, output, numPixel, planes);
        break;
    case 4:
        RunRGB<4>(input, output, numPixel, planes);
        break;
    default:
        RunRGB<0>(input, output, numPixel, planes);
        break;
    }
}

template <class T, class U>
[[gnu::always_inline]] inline void DispatchGray(const U* __restrict input, T* __restrict output,
                                                unsigned int numPixel, unsigned int planes) {
    switch (planes) {
    case 1:
        RunGray<1>(input, output, numPixel, planes);
        break;
    case 2:
        RunGray<2>(input, output, numPixel, planes);
        break;
    default:
        RunGray<0>(input, output, numPixel, planes);
        break;
    }
}

} // namespace

namespace _hlp {

QUENFIELD_RUN_CLONES void MapRunRGB(const unsigned char* __restrict input, unsigned short* __restrict output,
                                    unsigned int numPixel, unsigned int planes) {
    DispatchRGB(input, output, numPixel, planes);
}

QUENFIELD_RUN_CLONES void MapRunRGB(const unsigned short* __restrict input, unsigned short* __restrict output,
                                    unsigned int numPixel, unsigned int planes) {
    DispatchRGB(input, output, numPixel, planes);
}

QUENFIELD_RUN_CLONES void MapRunRGB(const float* __restrict input, float* __restrict output,
                                    unsigned int numPixel, unsigned int planes) {
    DispatchRGB(input, output, numPixel, planes);
}

QUENFIELD_RUN_CLONES void MapRunGray(const unsigned char* __restrict input, unsigned short* __restrict output,
                                     unsigned int numPixel, unsigned int planes) {
    DispatchGray(input, output, numPixel, planes);
}

QUENFIELD_RUN_CLONES void MapRunGray(const unsigned short* __restrict input,
                                     unsigned short* __restrict output, unsigned int numPixel,
                                     unsigned int planes) {
    DispatchGray(input, output, numPixel, planes);
}

QUENFIELD_RUN_CLONES void MapRunGray(const float* __restrict input, float* __restrict output,
                                     unsigned int numPixel, unsigned int planes) {
    DispatchGray(input, output, numPixel, planes);
}

} // namespace _hlp

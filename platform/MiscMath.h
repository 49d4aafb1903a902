// Fill and arithmetic helpers on plain values.
#ifndef QUENFIELD_PLATFORM_MISCMATH_H
#define QUENFIELD_PLATFORM_MISCMATH_H

#include "platform/Error.h"

namespace _hlp {

// Sets count elements of dst to value. A null dst throws, even for a count of 0.
template <class T>
void MiscFill(T* dst, unsigned int count, T value) {
    Require(dst != nullptr);
    for (unsigned int i = 0; i < count; ++i) {
        dst[i] = value;
    }
}

template <class T>
T MathMin(T a, T b) {
    return a < b ? a : b;
}

template <class T>
T MathMax(T a, T b) {
    return a > b ? a : b;
}

// The lower bound is tested first; a NaN value fails both tests and comes back unchanged.
template <class T>
T MathClamp(T value, T min, T max) {
    if (min > value) {
        return min;
    }
    if (value > max) {
        return max;
    }
    return value;
}

} // namespace _hlp

#endif

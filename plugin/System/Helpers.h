// Bounded string, fill and arithmetic helpers. None allocates; all write only within the capacity they are
// given.
#ifndef QUENFIELD_SYSTEM_HELPERS_H
#define QUENFIELD_SYSTEM_HELPERS_H

#include "Error.h"

#include <cstdarg>

extern const char cTRAILING_ZERO;  // the string terminator
extern const char cPOINT;          // separates a file name from its extension
extern const char cPATH_SEPARATOR; // the platform's path separator

namespace _hlp {

// Formats into dst (capacity size bytes, terminator included); a longer text is cut. The last byte of dst is
// always set to the terminator. A size of 0 writes nothing.
void StrPrintF(char* dst, unsigned int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void StrPrintFV(char* dst, unsigned int size, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Copies src into dst, cut to size - 1 characters; the last byte of dst is always the terminator.
void StrCopy(char* dst, unsigned int size, const char* src);

unsigned int StrGetLen(const char* text);

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

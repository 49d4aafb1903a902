// Bounded formatting and copying on the C library.
#include "platform/Strings.h"

#include "platform/Error.h"

#include <cstdio>
#include <cstring>

const char cTRAILING_ZERO = '\0';

namespace _hlp {

void StrPrintF(char* dst, unsigned int size, const char* format, ...) {
    Require(dst != nullptr && format != nullptr);
    va_list args;
    va_start(args, format);
    StrPrintFV(dst, size, format, args);
    va_end(args);
}

void StrPrintFV(char* dst, unsigned int size, const char* format, va_list args) {
    Require(dst != nullptr && format != nullptr);
    if (size == 0) {
        return;
    }
    std::vsnprintf(dst, size, format, args);
    dst[size - 1] = cTRAILING_ZERO;
}

void StrCopy(char* dst, unsigned int size, const char* src) {
    Require(dst != nullptr && src != nullptr);
    if (size == 0) {
        return;
    }
    const size_t length = std::strlen(src);
    const size_t kept = length < size - 1 ? length : size - 1;
    std::memcpy(dst, src, kept);
    dst[kept] = cTRAILING_ZERO;
    dst[size - 1] = cTRAILING_ZERO;
}

unsigned int StrGetLen(const char* text) {
    Require(text != nullptr);
    unsigned int length = 0;
    while (text[length] != cTRAILING_ZERO) {
        ++length;
    }
    return length;
}

} // namespace _hlp

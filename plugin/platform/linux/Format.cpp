// Bounded formatting and copying on the C library, and the separator of POSIX paths.
#include "System/Helpers.h"

#include <cstdio>
#include <cstring>

const char cPATH_SEPARATOR = '/';

namespace _hlp {

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

} // namespace _hlp

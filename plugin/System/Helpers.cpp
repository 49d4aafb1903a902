#include "System/Helpers.h"

const char cTRAILING_ZERO = '\0';
const char cPOINT = '.';

namespace _hlp {

void StrPrintF(char* dst, unsigned int size, const char* format, ...) {
    Require(dst != nullptr && format != nullptr);
    va_list args;
    va_start(args, format);
    StrPrintFV(dst, size, format, args);
    va_end(args);
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

// Bounded string formatting, copying and length. None allocates; all write only within the capacity they
// are given.
#ifndef QUENFIELD_PLATFORM_STRINGS_H
#define QUENFIELD_PLATFORM_STRINGS_H

#include <cstdarg>

extern const char cTRAILING_ZERO; // the string terminator

namespace _hlp {

// Formats into dst (capacity size bytes, terminator included); a longer text is cut. The last byte of dst is
// always set to the terminator. A size of 0 writes nothing.
void StrPrintF(char* dst, unsigned int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void StrPrintFV(char* dst, unsigned int size, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Copies src into dst, cut to size - 1 characters; the last byte of dst is always the terminator.
void StrCopy(char* dst, unsigned int size, const char* src);

unsigned int StrGetLen(const char* text);

} // namespace _hlp

#endif

#include "Format.h"

#include <cstdarg>
#include <cstdio>

namespace validate {

std::string Format(const char* format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace validate

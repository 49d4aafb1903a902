// The characters an export file name may keep, and the extensions of the two formats.
#include "Export/ExportLocation.h"

#include <cstring>

const char* const pcLEGAL_CHARS = "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ0123456789+-()_";
const char* const pcEXPORT_EXTENSION_PPM = "ppm";
const char* const pcEXPORT_EXTENSION_PFM = "pfm";

namespace {

const char cREPLACEMENT = '_';

} // namespace

namespace _hlp {

bool CharIsLegal(char c) {
    // strchr would find the terminator itself, so NUL is tested apart.
    return c != '\0' && std::strchr(pcLEGAL_CHARS, c) != nullptr;
}

std::string RemoveIllegalChars(const std::string& text) {
    std::string result(text);
    for (char& c : result) {
        if (!CharIsLegal(c)) {
            c = cREPLACEMENT;
        }
    }
    return result;
}

} // namespace _hlp

// Compiled so that the loops vectorise in every build type, not only at -O3 (see CMakeLists.txt).
#include "HostRange.h"

namespace host {

// A flat loop when every plane is wanted, so that it vectorises.
void CopyToHostRange(const uint16_t* from, size_t channels, uint16_t* to, size_t planes, size_t pixels) {
    if (channels == planes) {
        for (size_t i = 0; i < pixels * planes; ++i) {
            to[i] = ToHostRange(from[i]);
        }
        return;
    }
    for (size_t p = 0; p < pixels; ++p, from += channels, to += planes) {
        for (size_t s = 0; s < planes; ++s) {
            to[s] = ToHostRange(from[s]);
        }
    }
}

} // namespace host

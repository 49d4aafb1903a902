// The plug-in's exception type and the host result codes it carries.
#ifndef QUENFIELD_ERROR_H
#define QUENFIELD_ERROR_H

#include <cstdint>

// Host result codes; a value of this type is also what the plug-in's own code throws.
enum EError : int32_t {
    eERROR_NONE = 0,
    eERROR_WRITE_FAILED = -20,
    eERROR_OPEN_FAILED = -23,
    eERROR_PARAM = -50,
    eERROR_NO_MEMORY = -108,
    eERROR_USER_CANCELED = -128,
    eERROR_MISSING_PARAMETER = -1715,
    eERROR_UNSUPPORTED_DOCUMENT = -30201,
    eERROR_COMPANION_NOT_LAUNCHED = -30901
};

namespace _hlp {

// Out of line and cold, so that the checks on hot paths compile to one test and a branch.
[[noreturn]] void ThrowMissingParameter();

// Every operation checks what it needs before it changes anything; a failed check throws -1715.
inline void Require(bool ok) {
    if (__builtin_expect(!ok, 0)) {
        ThrowMissingParameter();
    }
}

} // namespace _hlp

#endif

// The plug-in's exception type and the host result codes it carries.
#ifndef QUENFIELD_PLATFORM_ERROR_H
#define QUENFIELD_PLATFORM_ERROR_H

#include "ExportInterface.h"

#include <cstdint>

// Host result codes, the interface's own values; a value of this type is also what the plug-in's own code
// throws.
enum EError : int32_t {
    eERROR_NONE = exportNoErr,
    eERROR_WRITE_FAILED = exportErrWriteFailed,
    eERROR_OPEN_FAILED = exportErrOpenFailed,
    eERROR_PARAM = exportErrParam,
    eERROR_NO_MEMORY = exportErrNoMemory,
    eERROR_USER_CANCELED = exportErrUserCanceled,
    eERROR_MISSING_PARAMETER = exportErrMissingParameter,
    eERROR_UNSUPPORTED_DOCUMENT = exportErrUnsupportedDocument,
    eERROR_COMPANION_NOT_LAUNCHED = exportErrCompanionNotLaunched
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

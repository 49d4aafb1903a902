#include "platform/Error.h"

namespace _hlp {

void ThrowMissingParameter() {
    throw eERROR_MISSING_PARAMETER;
}

} // namespace _hlp

#include "DataGlobal.h"

#include "platform/MiscMath.h"
#include "platform/Strings.h"

void CB_InitGlobals(void* block) {
    auto* globals = static_cast<SGlobals*>(block);
    *globals->rHead.pResult = 0;
    globals->iFile = -1;
    globals->pBuffer = nullptr;
    _hlp::MiscFill<char>(globals->aPath, sizeof(globals->aPath), cTRAILING_ZERO);
}

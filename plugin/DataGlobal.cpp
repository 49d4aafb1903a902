#include "DataGlobal.h"

#include "platform/Strings.h"

#include <algorithm>

void CB_InitGlobals(void* block) {
    auto* globals = static_cast<SGlobals*>(block);
    *globals->rHead.pResult = 0;
    globals->iFile = -1;
    globals->pBuffer = nullptr;
    std::fill_n(globals->aPath, sizeof(globals->aPath), cTRAILING_ZERO);
}

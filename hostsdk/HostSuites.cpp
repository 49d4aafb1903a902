#include "HostSuites.h"

SPBasicSuite* sSPBasic = nullptr;

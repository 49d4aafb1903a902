#include "sdk/HostSuites.h"

SPBasicSuite* pSPBasic = nullptr;

AutoSuite<UIHooksSuite1> rUIHooks(kUIHooksSuite, kUIHooksSuiteVersion1);

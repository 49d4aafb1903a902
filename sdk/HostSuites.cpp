#include "sdk/HostSuites.h"

SPBasicSuite* sSPBasic = nullptr;

AutoSuite<UIHooksSuite1> sUIHooks(kUIHooksSuite, kUIHooksSuiteVersion1);

// The module's one exported symbol. Everything else in the module has hidden visibility.
#include "ExportInterface.h"
#include "PluginMain.h"

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* pluginParamBlock,
                                                                  intptr_t* data, int16_t* result) {
    MainProc(selector, pluginParamBlock, data, result);
}

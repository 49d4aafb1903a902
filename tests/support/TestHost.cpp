#include "TestHost.h"

#include "HostHandles.h"
#include "PluginModule.h"

#include <utility>

namespace testhost {
namespace {

host::HostOptions TestOptions() {
    host::HostOptions options;
    options.rectByHandshake = false;
    // The tests look at the largest delivery against maxData instead.
    options.enforceMaxData = false;
    // The host answers a request it cannot serve with an error of its own.
    options.badRequestCode = -1;
    options.resultUnset = 0x7777;
    return options;
}

} // namespace

TestHost::TestHost(Document document) : HostCore(nullptr, std::move(document), TestOptions()) {
    procs = host::handles::Table();
    ExportRecord& record = Record();
    record.maxData = 10000000;
    record.imageSize = Point{static_cast<int16_t>(Doc().Height()), static_cast<int16_t>(Doc().Width())};
    record.handleProcs = &procs;
    record.sSPBasic = nullptr;
    Activate();
}

TestHost::~TestHost() {
    DisposeGlobals(Slot());
}

void TestHost::DisposeGlobals(intptr_t slot) {
    const Handle globals = reinterpret_cast<Handle>(slot);
    if (globals != nullptr && procs.validProc(globals)) {
        procs.disposeProc(globals);
    }
}

void TestHost::FailAt(size_t request, int16_t code) {
    Behaviour().failAt = request;
    Behaviour().failCode = code;
}

void TestHost::CancelAfter(size_t request) {
    Behaviour().cancelAfter = request;
}

void TestHost::NullDataAt(size_t request) {
    Behaviour().nullDataAt = request;
}

void TestHost::ShortRowBytes(int32_t bytes) {
    Behaviour().rowBytesShortBy = bytes;
}

int16_t TestHost::Call(const PluginModule& module, int16_t selector, intptr_t* slot) {
    return HostCore::Call(module.Entry(), selector, &Record(), slot != nullptr ? slot : &Slot());
}

int16_t TestHost::Export(const PluginModule& module, intptr_t* slot) {
    const int16_t prepared = Call(module, exportSelectorPrepare, slot);
    if (prepared != exportNoErr) {
        return prepared;
    }
    const int16_t started = Call(module, exportSelectorStart, slot);
    if (started == exportNoErr) {
        Call(module, exportSelectorFinish, slot);
    }
    return started;
}

} // namespace testhost

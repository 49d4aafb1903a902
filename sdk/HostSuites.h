// Access to the host's named suites.
#ifndef QUENFIELD_SDK_HOSTSUITES_H
#define QUENFIELD_SDK_HOSTSUITES_H

#include "ExportInterface.h"

#include <cstdint>

// The host's basic suite, as handed over by the latest call; null until the first call.
extern SPBasicSuite* pSPBasic;

// Thrown (as uint32_t) when a suite is wanted before any host gave us its basic suite: 'Parm'.
constexpr uint32_t uiERROR_NO_BASIC_SUITE = 0x5061726D;

// Holds one suite of the host: acquired on first use through pSPBasic, released through the same basic suite
// when the holder is destroyed, which for the static holders below is when the module is unloaded, whatever
// basic suite the latest call brought. Host's thread only.
template <class T>
class AutoSuite {
public:
    constexpr AutoSuite(const char* suiteName, int32_t suiteVersion)
        : suite(nullptr), version(suiteVersion), name(suiteName), error(0), basic(nullptr) {}
    ~AutoSuite() { Unload(); }
    AutoSuite(const AutoSuite&) = delete;
    AutoSuite& operator=(const AutoSuite&) = delete;

    // The suite's table, acquired first when it is not held. Throws what AcquireSuite throws.
    const T* operator->() {
        if (suite == nullptr) {
            AcquireSuite();
        }
        return suite;
    }

    // Throws uiERROR_NO_BASIC_SUITE without a basic suite, and the host's code (as uint32_t) when the host
    // refuses; the holder then stays empty, so that the next use asks again.
    void AcquireSuite() {
        if (pSPBasic == nullptr) {
            throw uiERROR_NO_BASIC_SUITE;
        }
        const void* acquired = nullptr;
        error = pSPBasic->AcquireSuite(name, version, &acquired);
        if (error != 0) {
            throw static_cast<uint32_t>(error);
        }
        suite = static_cast<const T*>(acquired);
        basic = pSPBasic;
    }

    // Gives the suite back to the basic suite it came from when it is held; the host's answer changes nothing
    // here.
    void Unload() {
        if (suite != nullptr && name != nullptr && basic != nullptr) {
            basic->ReleaseSuite(name, version);
            suite = nullptr;
            basic = nullptr;
        }
    }

private:
    const T* suite;
    int32_t version;
    const char* name;
    int32_t error;
    SPBasicSuite* basic; // the basic suite that acquired the suite held
};

// The host's UI hooks; the About box forwards the host windows' events through it.
extern AutoSuite<UIHooksSuite1> rUIHooks;

#endif

// What a call of the plug-in's own code threw: the EError code, or 0 when it returned normally.
#ifndef QUENFIELD_TESTS_THROWNCODE_H
#define QUENFIELD_TESTS_THROWNCODE_H

#include "platform/Error.h"

#include <cstdint>

template <class F>
int32_t ThrownCode(F&& f) {
    try {
        f();
    } catch (EError code) {
        return code;
    }
    return 0;
}

#endif

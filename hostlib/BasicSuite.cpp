#include "BasicSuite.h"

#include <cstring>

namespace host::suites {
namespace {

int32_t held = 0;
int32_t acquired = 0;
int32_t released = 0;
int32_t events = 0;
int32_t refusal = 0;
bool withProcessEvent = true;
EventObserver observer = nullptr;

// This host has no windows of its own to redraw; counting shows that a dialog passed its events on.
void ProcessEvent(EventRecord* event) {
    ++events;
    if (observer != nullptr && event != nullptr) {
        observer(*event);
    }
}

const UIHooksSuite1 uiHooks{ProcessEvent};
const UIHooksSuite1 uiHooksWithoutRoutine{nullptr};

bool IsUIHooks(const char* name, int32_t version) {
    return name != nullptr && std::strcmp(name, kUIHooksSuite) == 0 && version == kUIHooksSuiteVersion1;
}

int32_t AcquireSuite(const char* name, int32_t version, const void** suite) {
    if (suite == nullptr) {
        return kSuiteNotFound;
    }
    *suite = nullptr;
    if (!IsUIHooks(name, version)) {
        return kSuiteNotFound;
    }
    if (refusal != 0) {
        return refusal;
    }
    *suite = UIHooks();
    ++held;
    ++acquired;
    return 0;
}

int32_t ReleaseSuite(const char* name, int32_t version) {
    ++released;
    if (!IsUIHooks(name, version) || held == 0) {
        return kSuiteNotFound;
    }
    --held;
    return 0;
}

int32_t AcquireNothing(const char* /*name*/, int32_t /*version*/, const void** suite) {
    if (suite != nullptr) {
        *suite = nullptr;
    }
    return kSuiteNotFound;
}

int32_t ReleaseNothing(const char* /*name*/, int32_t /*version*/) {
    return kSuiteNotFound;
}

} // namespace

SPBasicSuite* Basic() {
    static SPBasicSuite basic{AcquireSuite, ReleaseSuite};
    return &basic;
}

SPBasicSuite* Offered(fuzz::SuiteMode mode) {
    static SPBasicSuite refusing{AcquireNothing, ReleaseNothing};
    switch (mode) {
    case fuzz::SuiteMode::None:
        return nullptr;
    case fuzz::SuiteMode::Refusing:
        return &refusing;
    case fuzz::SuiteMode::UIHooks:
        break;
    }
    return Basic();
}

const UIHooksSuite1* UIHooks() {
    return withProcessEvent ? &uiHooks : &uiHooksWithoutRoutine;
}

int32_t Held() {
    return held;
}

int32_t EventsProcessed() {
    return events;
}

int32_t Acquired() {
    return acquired;
}

int32_t Released() {
    return released;
}

void RefuseWith(int32_t code) {
    refusal = code;
}

void OfferProcessEvent(bool offered) {
    withProcessEvent = offered;
}

void OnEvent(EventObserver observe) {
    observer = observe;
}

void Reset() {
    held = acquired = released = events = refusal = 0;
    withProcessEvent = true;
    observer = nullptr;
}

} // namespace host::suites

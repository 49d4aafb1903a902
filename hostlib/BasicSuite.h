// The host's basic suite and the one suite it offers through it, the UI hooks suite (version 1).
#ifndef QUENFIELD_HOST_BASICSUITE_H
#define QUENFIELD_HOST_BASICSUITE_H

#include "ExportInterface.h"
#include "Scenario.h"

namespace host::suites {

// Any other suite name or version is refused with this code.
constexpr int32_t kSuiteNotFound = 1;

// The same suite for the life of the process, so it outlives every module that holds a pointer to it.
SPBasicSuite* Basic();
// The basic suite a host of the given kind offers: none, one that refuses every suite, or Basic().
SPBasicSuite* Offered(fuzz::SuiteMode mode);
// The UI hooks suite Basic() hands out.
const UIHooksSuite1* UIHooks();
int32_t Held();            // acquisitions not yet released
int32_t Acquired();        // acquisitions answered
int32_t Released();        // release calls, answered or not, so that one too many shows
int32_t EventsProcessed(); // events passed to the UI hooks' processEvent

// What a test host changes: the code every acquisition is refused with (0: none is), whether the UI hooks
// suite has its processEvent, and who sees each event passed to it. Reset puts these and the counts back.
void RefuseWith(int32_t code);
void OfferProcessEvent(bool offered);
using EventObserver = void (*)(const EventRecord& event);
void OnEvent(EventObserver observe);
void Reset();

} // namespace host::suites

#endif

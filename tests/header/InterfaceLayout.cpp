// The interface as separately built hosts and plug-ins see it: the size and offset of every field, the
// signature of every routine and the value of every constant, written down here for 64-bit (LP64) and 32-bit
// (ILP32) builds. A field moved, resized or retyped in the header fails this file, although a host and a
// plug-in built from the same header would still agree with each other. The build compiles it for its own
// target; a test compiles it again with -m32.
#include "ExportInterface.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace {

#if __SIZEOF_POINTER__ == 8
constexpr bool k64 = true;
#elif __SIZEOF_POINTER__ == 4
constexpr bool k64 = false;
#else
#error "no layout of the interface is written down for this pointer size"
#endif

// The number for this pointer size.
constexpr size_t Either(size_t lp64, size_t ilp32) {
    return k64 ? lp64 : ilp32;
}

constexpr bool Equal(const char* a, const char* b) {
    return *a == *b && (*a == '\0' || Equal(a + 1, b + 1));
}

// Basic types.
static_assert(sizeof(Boolean) == 1 && std::is_unsigned<Boolean>::value);
static_assert(sizeof(Handle) == Either(8, 4));
static_assert(sizeof(VPoint) == 8 && offsetof(VPoint, v) == 0 && offsetof(VPoint, h) == 4);
static_assert(sizeof(VRect) == 16 && offsetof(VRect, top) == 0 && offsetof(VRect, left) == 4 &&
              offsetof(VRect, bottom) == 8 && offsetof(VRect, right) == 12);
static_assert(sizeof(Point) == 4 && offsetof(Point, v) == 0 && offsetof(Point, h) == 2);
static_assert(sizeof(Rect) == 8 && offsetof(Rect, top) == 0 && offsetof(Rect, left) == 2 &&
              offsetof(Rect, bottom) == 4 && offsetof(Rect, right) == 6);

// Result codes, selectors and image modes.
static_assert(exportNoErr == 0 && exportErrWriteFailed == -20 && exportErrOpenFailed == -23 &&
              exportErrParam == -50 && exportErrNoMemory == -108 && exportErrUserCanceled == -128 &&
              exportErrMissingParameter == -1715 && exportErrUnsupportedDocument == -30201 &&
              exportErrCompanionNotLaunched == -30901);
static_assert(exportSelectorAbout == 0 && exportSelectorStart == 1 && exportSelectorContinue == 2 &&
              exportSelectorFinish == 3 && exportSelectorPrepare == 4);
static_assert(plugInModeGrayScale == 1 && plugInModeRGBColor == 3 && plugInModeGray16 == 10 &&
              plugInModeRGB48 == 11 && plugInModeRGB96 == 16 && plugInModeGray32 == 17);

// Handle routines.
static_assert(std::is_same<ExportNewHandleProc, Handle (*)(int32_t)>::value);
static_assert(std::is_same<ExportDisposeHandleProc, void (*)(Handle)>::value);
static_assert(std::is_same<ExportGetHandleSizeProc, int32_t (*)(Handle)>::value);
static_assert(std::is_same<ExportSetHandleSizeProc, int16_t (*)(Handle, int32_t)>::value);
static_assert(std::is_same<ExportLockHandleProc, void* (*)(Handle, Boolean)>::value);
static_assert(std::is_same<ExportUnlockHandleProc, void (*)(Handle)>::value);
static_assert(std::is_same<ExportCountHandlesProc, int32_t (*)()>::value);
static_assert(std::is_same<ExportValidHandleProc, Boolean (*)(Handle)>::value);
static_assert(exportHandleProcsVersion == 1 && exportHandleProcsCount == 8);
static_assert(sizeof(HandleProcs) == Either(72, 36));
static_assert(offsetof(HandleProcs, handleProcsVersion) == 0 && offsetof(HandleProcs, numHandleProcs) == 2);
static_assert(offsetof(HandleProcs, newProc) == Either(8, 4));
static_assert(offsetof(HandleProcs, disposeProc) == Either(16, 8));
static_assert(offsetof(HandleProcs, getSizeProc) == Either(24, 12));
static_assert(offsetof(HandleProcs, setSizeProc) == Either(32, 16));
static_assert(offsetof(HandleProcs, lockProc) == Either(40, 20));
static_assert(offsetof(HandleProcs, unlockProc) == Either(48, 24));
static_assert(offsetof(HandleProcs, countProc) == Either(56, 28));
static_assert(offsetof(HandleProcs, validProc) == Either(64, 32));

// Suites and events.
static_assert(std::is_same<decltype(SPBasicSuite::AcquireSuite),
                           int32_t (*)(const char*, int32_t, const void**)>::value);
static_assert(std::is_same<decltype(SPBasicSuite::ReleaseSuite), int32_t (*)(const char*, int32_t)>::value);
static_assert(sizeof(SPBasicSuite) == Either(16, 8));
static_assert(offsetof(SPBasicSuite, AcquireSuite) == 0 &&
              offsetof(SPBasicSuite, ReleaseSuite) == Either(8, 4));
static_assert(nullEvent == 0 && mouseDown == 1 && mouseUp == 2 && keyDown == 3 && autoKey == 5 &&
              updateEvt == 6 && activateEvt == 8);
static_assert(sizeof(EventRecord) == Either(32, 20));
static_assert(offsetof(EventRecord, what) == 0);
static_assert(offsetof(EventRecord, message) == Either(8, 4));
static_assert(offsetof(EventRecord, when) == Either(16, 8));
static_assert(offsetof(EventRecord, where) == Either(20, 12));
static_assert(offsetof(EventRecord, modifiers) == Either(24, 16));
static_assert(Equal(kUIHooksSuite, "Host UIHooks Suite for Plug-ins") && kUIHooksSuiteVersion1 == 1);
static_assert(std::is_same<decltype(UIHooksSuite1::processEvent), void (*)(EventRecord*)>::value);
static_assert(sizeof(UIHooksSuite1) == Either(8, 4) && offsetof(UIHooksSuite1, processEvent) == 0);

// The records and the entry point.
static_assert(std::is_same<ExportAbortProc, Boolean (*)()>::value);
static_assert(std::is_same<ExportProgressProc, void (*)(int32_t, int32_t)>::value);
static_assert(std::is_same<ExportAdvanceStateProc, int16_t (*)()>::value);
static_assert(sizeof(ExportRecord) == Either(376, 344));
static_assert(offsetof(ExportRecord, abortProc) == 0);
static_assert(offsetof(ExportRecord, progressProc) == Either(8, 4));
static_assert(offsetof(ExportRecord, maxData) == Either(16, 8));
static_assert(offsetof(ExportRecord, imageMode) == Either(20, 12));
static_assert(offsetof(ExportRecord, depth) == Either(22, 14));
static_assert(offsetof(ExportRecord, planes) == Either(24, 16));
static_assert(offsetof(ExportRecord, imageSize) == Either(26, 18));
static_assert(offsetof(ExportRecord, imageSize32) == Either(32, 24));
static_assert(offsetof(ExportRecord, theRect) == Either(40, 32));
static_assert(offsetof(ExportRecord, theRect32) == Either(48, 40));
static_assert(offsetof(ExportRecord, loPlane) == Either(64, 56));
static_assert(offsetof(ExportRecord, hiPlane) == Either(66, 58));
static_assert(offsetof(ExportRecord, data) == Either(72, 60));
static_assert(offsetof(ExportRecord, rowBytes) == Either(80, 64));
static_assert(offsetof(ExportRecord, filename) == Either(84, 68) && sizeof(ExportRecord::filename) == 256);
static_assert(offsetof(ExportRecord, handleProcs) == Either(344, 324));
static_assert(offsetof(ExportRecord, advanceState) == Either(352, 328));
static_assert(offsetof(ExportRecord, sSPBasic) == Either(360, 332));
static_assert(offsetof(ExportRecord, HostSupports32BitCoordinates) == Either(368, 336));
static_assert(offsetof(ExportRecord, PluginUsing32BitCoordinates) == Either(372, 340));
static_assert(sizeof(AboutRecord) == Either(16, 8));
static_assert(offsetof(AboutRecord, hostContext) == 0 && offsetof(AboutRecord, sSPBasic) == Either(8, 4));
static_assert(Equal(exportPluginEntryName, "PluginMain"));
static_assert(std::is_same<ExportPluginEntry, void (*)(int16_t, void*, intptr_t*, int16_t*)>::value);
static_assert(std::is_same<decltype(&PluginMain), ExportPluginEntry>::value);

} // namespace

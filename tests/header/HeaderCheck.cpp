// Compiled as C++17 with warnings as errors: the interface header must stand alone in C++.
#include "ExportInterface.h"

#include <type_traits>

static_assert(std::is_standard_layout<ExportRecord>::value, "the record is plain data");
static_assert(sizeof(Boolean) == 1, "Boolean is one byte");
static_assert(std::is_same<decltype(&PluginMain), ExportPluginEntry>::value, "entry type matches");

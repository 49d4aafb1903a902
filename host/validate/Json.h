// The results as JSON, for CI: the schema's version, the validator's version, the plug-in, the level and
// the seed, one object per check and the counts.
#ifndef QUENFIELD_VALIDATE_JSON_H
#define QUENFIELD_VALIDATE_JSON_H

#include "Runner.h"

#include <string>
#include <vector>

namespace validate {

// A JSON string literal, quotes included; control characters and bytes that are not UTF-8 are escaped, so
// any text yields valid JSON.
std::string JsonString(const std::string& text);

// The length of the valid UTF-8 sequence that starts at text[i], or 0 when none does.
size_t Utf8Length(const std::string& text, size_t i);

// Raised whenever a field changes meaning or goes away; new fields keep it.
constexpr int kJsonSchemaVersion = 3;

std::string ResultsJson(const RunInfo& info, const std::vector<CheckReport>& reports);

} // namespace validate

#endif

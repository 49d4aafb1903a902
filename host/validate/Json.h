// The results as JSON, for CI: the plug-in, one object per check and the counts.
#ifndef QUENFIELD_VALIDATE_JSON_H
#define QUENFIELD_VALIDATE_JSON_H

#include "Runner.h"

#include <string>
#include <vector>

namespace validate {

// A JSON string literal, quotes included; control characters and bytes that are not UTF-8 are escaped, so
// any text yields valid JSON.
std::string JsonString(const std::string& text);

std::string ResultsJson(const std::string& plugin, const std::vector<CheckReport>& reports);

} // namespace validate

#endif

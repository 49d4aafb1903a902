// The results as JUnit XML, the report format CI systems read: one test suite, one test case per check
// (class name validate.<level>), failed checks as failures, crashed ones as errors, skipped ones as skipped.
#ifndef QUENFIELD_VALIDATE_JUNIT_H
#define QUENFIELD_VALIDATE_JUNIT_H

#include "Runner.h"

#include <string>
#include <vector>

namespace validate {

// Text as XML character data or attribute value: markup characters as references, characters XML 1.0 does
// not allow and bytes that are not UTF-8 as U+FFFD.
std::string XmlText(const std::string& text);

std::string ResultsJunit(const RunInfo& info, const std::vector<CheckReport>& reports);

} // namespace validate

#endif

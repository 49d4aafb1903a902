// printf-style text for the reports: times with a fixed precision, escapes.
#ifndef QUENFIELD_VALIDATE_FORMAT_H
#define QUENFIELD_VALIDATE_FORMAT_H

#include <string>

namespace validate {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace validate

#endif

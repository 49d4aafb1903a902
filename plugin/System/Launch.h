// Hands the finished export file to the companion application.
#ifndef QUENFIELD_SYSTEM_LAUNCH_H
#define QUENFIELD_SYSTEM_LAUNCH_H

#include <cstdint>
#include <string>

namespace _sys {

// 0 when the start request for the companion application succeeded, -30901 otherwise.
int16_t StartApplication(const std::string& path);

} // namespace _sys

#endif

// The host's 16-bit sample range, 0..32768, and the file's, 0..65535.
#ifndef QUENFIELD_HOST_HOSTRANGE_H
#define QUENFIELD_HOST_HOSTRANGE_H

#include <cstddef>
#include <cstdint>

namespace host {

// 16-bit file samples (0..65535) in the host's range 0..32768: round(v * 32768 / 65535). The scale is a hair
// above one half, which only ever tips an odd v upwards, so this is v / 2 rounded up: one shift and one add
// in 16-bit lanes. The tests check it against the division for every 16-bit value.
inline uint16_t ToHostRange(uint16_t fileSample) {
    return static_cast<uint16_t>((fileSample >> 1) + (fileSample & 1u));
}

// `pixels` pixels of `channels` file samples each into `planes` host samples each (the first ones of every
// pixel). Every sample of every exported 16-bit document passes through here.
void CopyToHostRange(const uint16_t* from, size_t channels, uint16_t* to, size_t planes, size_t pixels);

} // namespace host

#endif

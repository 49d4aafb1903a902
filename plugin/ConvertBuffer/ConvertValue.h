// Sample value helpers of the conversion buffers, and the one place that knows the processor's byte order.
#ifndef QUENFIELD_CONVERTBUFFER_CONVERTVALUE_H
#define QUENFIELD_CONVERTBUFFER_CONVERTVALUE_H

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace _hlp {

// The file's byte order is a property of its format, not of the processor: 16-bit PPM samples are most
// significant byte first, PFM floats little-endian. The conversion stores every sample as the value whose
// bytes in memory are already in file order, so the writer can hand the array to the file unchanged; this
// constant is the only test of the processor's order, and the adapters below swap only where it differs from
// the file's.
constexpr bool bLITTLE_ENDIAN_HOST = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
static_assert(bLITTLE_ENDIAN_HOST || __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__,
              "mixed byte order is not supported");

// v * 257: 0 stays 0, 255 becomes 65535, both bytes equal v.
inline unsigned short MapTo16Bit(unsigned char v) {
    return static_cast<unsigned short>((v << 8) | v);
}

// The unit range onto 0..65535, truncated. A NaN passes the clamp and maps to 0.
inline unsigned short MapTo16Bit(float v) {
    const float unit = std::clamp<float>(v, 0.0f, 1.0f);
    if (unit != unit) {
        return 0;
    }
    return static_cast<unsigned short>(static_cast<unsigned int>(unit * 65535.0f));
}

// The host's 16-bit range 0..32768 onto 0..65535 by the integer formula min(65535, floor(v * 65535 / 32768)),
// which gives the same value as MapTo16Bit(v / 32768.0f) for every input. As floor(2v - v / 32768) it is 0
// for 0, 2v - 1 below 32768 and 65535 from there on, that is m + max(m, 1) - 1 with m = min(v, 32768):
// unsigned 16-bit minimum, maximum and additions only, so vector lanes stay narrow and the steps few.
inline unsigned short MapHostTo16Bit(unsigned short v) {
    const unsigned short m = std::min<unsigned short>(v, 32768);
    return static_cast<unsigned short>(m + std::max<unsigned short>(m, 1) - 1);
}

// Exchanges the two bytes, whatever the processor: ((v & 0xFF) << 8) | ((v & 0xFF00) >> 8), written as the
// builtin so that vectorised loops swap with one byte shuffle instead of two shifts and an OR.
inline unsigned short EndianSwap(unsigned short v) {
    return __builtin_bswap16(v);
}

// The 16-bit value whose bytes lie in memory most significant first.
inline unsigned short ToBigEndian(unsigned short v) {
    return bLITTLE_ENDIAN_HOST ? EndianSwap(v) : v;
}

// The float whose bytes lie in memory least significant first. Copied through its bits so that a NaN keeps
// its exact pattern on a big-endian host too.
inline float ToLittleEndian(float v) {
    if (bLITTLE_ENDIAN_HOST) {
        return v;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    bits = __builtin_bswap32(bits);
    std::memcpy(&v, &bits, sizeof bits);
    return v;
}

// Whether host samples of type U are already the file's samples of type T, byte for byte: floats on a
// little-endian processor.
template <class T, class U>
inline constexpr bool bSAME_IN_FILE = false;
template <>
inline constexpr bool bSAME_IN_FILE<float, float> = bLITTLE_ENDIAN_HOST;

} // namespace _hlp

#endif

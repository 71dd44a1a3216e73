#pragma once
// The fixed-width values of the binary readers and writers and of IO.Blob: little-endian
// integers and IEEE floats, whatever the host's byte order.
#include <bit>
#include <cstdint>
#include <limits>

namespace Quillorane::LittleEndian {

inline std::uint32_t load(const std::uint8_t* p, unsigned width) {
    std::uint32_t v = 0;
    for (unsigned i = width; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

inline void store(std::uint8_t* p, std::uint32_t v, unsigned width) {
    for (unsigned i = 0; i < width; ++i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

inline std::int32_t int8(const std::uint8_t* p) { return static_cast<std::int8_t>(p[0]); }
inline std::int32_t int16(const std::uint8_t* p) { return static_cast<std::int16_t>(load(p, 2)); }
inline std::int32_t uint16(const std::uint8_t* p) { return static_cast<std::int32_t>(load(p, 2)); }
inline std::int32_t int32(const std::uint8_t* p) { return static_cast<std::int32_t>(load(p, 4)); }
inline float float32(const std::uint8_t* p) { return std::bit_cast<float>(load(p, 4)); }
// A double narrowed to the nearest single; beyond the singles' range it becomes an infinity.
inline float narrow(double d) {
    if (d > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (d < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}
inline float float64(const std::uint8_t* p) {
    const std::uint64_t bits = load(p, 4) | (std::uint64_t{load(p + 4, 4)} << 32);
    return narrow(std::bit_cast<double>(bits));
}

inline void putFloat32(std::uint8_t* p, float value) { store(p, std::bit_cast<std::uint32_t>(value), 4); }
inline void putFloat64(std::uint8_t* p, float value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(static_cast<double>(value));
    store(p, static_cast<std::uint32_t>(bits), 4);
    store(p + 4, static_cast<std::uint32_t>(bits >> 32), 4);
}

}  // namespace Quillorane::LittleEndian

#pragma once

#include <cstdint>

namespace ovrin::bigendian {

// Every integer of an index file is stored most significant byte first,
// whatever the byte order of the machine.

inline std::uint16_t load16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t load32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

inline std::uint64_t load64(const std::uint8_t* p)
{
    return (static_cast<std::uint64_t>(load32(p)) << 32) | load32(p + 4);
}

inline void store16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

inline void store32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

inline void store64(std::uint8_t* p, std::uint64_t value)
{
    store32(p, static_cast<std::uint32_t>(value >> 32));
    store32(p + 4, static_cast<std::uint32_t>(value));
}

} // namespace ovrin::bigendian

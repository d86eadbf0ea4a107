#pragma once

#include <cstdint>
#include <cstring>

namespace Corvane::Common
{

// Card registers are little-endian. The conversion is the identity on a little-endian host and a
// byte swap otherwise; it is its own inverse, so it serves reads and writes alike.
inline uint32_t ToCardEndian(uint32_t value)
{
    const uint32_t one = 1;
    uint8_t lowestByte = 0;
    std::memcpy(&lowestByte, &one, 1);
    if (lowestByte == 1)
        return value;
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}

} // namespace Corvane::Common

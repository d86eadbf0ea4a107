#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Corvane::Common
{

constexpr size_t ConfigImageSize = 256;
using ConfigImage = std::array<uint8_t, ConfigImageSize>;

// The microcontroller's configuration image: a version marker, the two 16-bit gains
// little-endian, reserved zeros, and a checksum byte that makes the 8-bit sum of all bytes 0.
ConfigImage BuildConfigImage(uint32_t gain0, uint32_t gain1);

// Writes the image to the named file; prints progress and errors. Returns the exit code.
int WriteConfigImage(uint32_t gain0, uint32_t gain1, const std::string& fileName);

} // namespace Corvane::Common

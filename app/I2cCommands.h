#pragma once

#include <cstdint>
#include <string>

namespace Corvane::Common
{

// The I2C one-shot commands of application mode; each returns the run's exit code.
int RunI2cReadToFile(const std::string& path, uint32_t chip, uint32_t size, uint32_t start);
int RunI2cWriteFromFile(const std::string& path, uint32_t chip, uint32_t start);
int VerifyI2cAgainstFile(const std::string& path, uint32_t chip, uint32_t start);

} // namespace Corvane::Common

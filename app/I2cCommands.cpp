#include "I2cCommands.h"

#include "platform/Print.h"

#include <cstdio>

namespace Corvane::Common
{

namespace
{
int NotAvailable(const char* what)
{
    Print("\nThe I2C %s is not available yet.\n", what);
    return -1;
}
} // namespace

int RunI2cReadToFile(const std::string&, uint32_t, uint32_t, uint32_t)
{
    return NotAvailable("read");
}

int RunI2cWriteFromFile(const std::string&, uint32_t, uint32_t)
{
    return NotAvailable("write");
}

int VerifyI2cAgainstFile(const std::string&, uint32_t)
{
    return NotAvailable("verify");
}

} // namespace Corvane::Common

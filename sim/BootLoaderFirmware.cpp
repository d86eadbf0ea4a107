#include "BootLoaderFirmware.h"

namespace Corvane::Common
{

CBootLoaderFirmware::CBootLoaderFirmware(const Gen3CardSettings& settings, BoardMemory& memory)
    : Settings(settings), Memory(memory)
{
}

void CBootLoaderFirmware::OnHostByte(uint8_t, bool, IMicrocontrollerPort&)
{
    // Not yet: the boot loader takes every byte and answers nothing.
}

} // namespace Corvane::Common

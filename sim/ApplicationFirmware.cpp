#include "ApplicationFirmware.h"

namespace Corvane::Common
{

CApplicationFirmware::CApplicationFirmware(const Gen3CardSettings& settings, BoardMemory& memory)
    : Settings(settings), Memory(memory)
{
}

void CApplicationFirmware::OnHostByte(uint8_t, bool, IMicrocontrollerPort&) {}

} // namespace Corvane::Common

#include "SimStatus.h"

namespace Corvane::Common
{

namespace
{
struct StatusText
{
    uint32_t Status;
    const char* Text;
};

const StatusText StatusTexts[] = {
    {SIM_STATUS_SUCCESS, "success"},
    {SIM_STATUS_CARD_NOT_FOUND, "card not found"},
    {SIM_STATUS_OPEN_FAILED, "card cannot be opened"},
    {SIM_STATUS_INVALID_HANDLE, "invalid card handle"},
    {SIM_STATUS_INVALID_ARGUMENT, "invalid argument"},
    {SIM_STATUS_CARD_INFO_FAILED, "card information not available"},
    {SIM_STATUS_MAP_FAILED, "window cannot be mapped"},
    {SIM_STATUS_NOT_MAPPED, "pointer is not a mapped window"},
    {SIM_STATUS_CONFIGURE_FAILED, "FPGA configuration failed"},
    {SIM_STATUS_CLOCK_FAILED, "clock frequency cannot be set"},
    {SIM_STATUS_FPGA_INFO_FAILED, "FPGA information not available"},
    {SIM_STATUS_BANK_INFO_FAILED, "bank information not available"},
    {SIM_STATUS_NO_SUCH_BANK, "no such memory bank"},
    {SIM_STATUS_NO_SUCH_CLOCK, "no such clock"},
    {SIM_STATUS_CLOSE_FAILED, "card cannot be closed"},
    {SIM_STATUS_SPACE_FAILED, "address space not available"},
    {SIM_STATUS_SPACE_CONFIG_FAILED, "address space cannot be configured"},
    {SIM_STATUS_OUT_OF_WINDOWS, "too many windows mapped"},
};
} // namespace

const char* SimStatusText(uint32_t status)
{
    for (const StatusText& entry : StatusTexts)
        if (entry.Status == status)
            return entry.Text;
    return "unknown status";
}

} // namespace Corvane::Common

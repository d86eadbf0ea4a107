#include "BootLoaderFirmware.h"

#include "BoardModels.h"

#include <algorithm>

namespace Corvane::Common
{

enum class BootLoaderCommand
{
    Version,
    PageWrite,
    PageRead
};

struct BootLoaderCommandForm
{
    uint8_t Letter;
    BootLoaderCommand Kind;
    uint32_t HeaderLength; // the letter and the bytes after it, before any page data
    bool LongForm;         // three address bytes and a zero: the form for 512-byte pages
};

namespace
{

// What the boot loader answers after a page write.
const uint8_t PageWritten = 0x06;
const uint8_t PageRefused = 0x15;

// The boot loader knows a command by its first byte.
const BootLoaderCommandForm Commands[] = {
    {'V', BootLoaderCommand::Version, 3, false},   // 'V' 'N' '?'
    {'W', BootLoaderCommand::PageWrite, 3, false}, // A0 A1, then one page of data
    {'w', BootLoaderCommand::PageWrite, 5, true},  // A0 A1 A2 0, then one page of data
    {'R', BootLoaderCommand::PageRead, 3, false},  // A0 A1
    {'r', BootLoaderCommand::PageRead, 5, true},   // A0 A1 A2 0
};

const uint8_t VersionRequest[] = {'V', 'N', '?'};
// Pages of this size or more take the long command form.
const uint32_t LongFormPageSize = 512;

const BootLoaderCommandForm* FindCommand(uint8_t letter)
{
    for (const BootLoaderCommandForm& form : Commands)
        if (form.Letter == letter)
            return &form;
    return nullptr;
}

} // namespace

CBootLoaderFirmware::CBootLoaderFirmware(const Gen3CardSettings& settings, BoardMemory& memory)
    : Settings(settings), Memory(memory), PageSize(FindMcuModel(settings.ModelCode).PageSize)
{
}

void CBootLoaderFirmware::OnHostByte(uint8_t byte, bool, IMicrocontrollerPort& port)
{
    if (Stopped || Settings.Has(McuFault::Silent))
        return;
    if (Form == nullptr)
    {
        // Between commands a byte that starts none is passed over.
        Form = FindCommand(byte);
        if (Form == nullptr)
            return;
    }
    Received.push_back(byte);
    const uint32_t dataLength = Form->Kind == BootLoaderCommand::PageWrite ? PageSize : 0;
    if (Received.size() < Form->HeaderLength + dataLength)
        return;
    const BootLoaderCommandForm& form = *Form;
    Form = nullptr;
    Carry(form, port);
    Received.clear();
}

std::vector<uint8_t> CBootLoaderFirmware::PartialCommand() const
{
    return Form != nullptr ? Received : std::vector<uint8_t>();
}

void CBootLoaderFirmware::Carry(const BootLoaderCommandForm& form, IMicrocontrollerPort& port)
{
    switch (form.Kind)
    {
    case BootLoaderCommand::Version:
        if (std::equal(Received.begin(), Received.end(), VersionRequest))
            AnswerVersion(port);
        break;
    case BootLoaderCommand::PageWrite:
        WritePage(form, port);
        break;
    case BootLoaderCommand::PageRead:
        ReadPage(form, port);
        break;
    }
}

void CBootLoaderFirmware::AnswerVersion(IMicrocontrollerPort& port)
{
    SendReply(Settings, "VN=", VersionBytes(Settings.BootLoaderVersion), Stopped, port);
}

bool CBootLoaderFirmware::TargetPage(const BootLoaderCommandForm& form, uint32_t& address) const
{
    if (form.LongForm != (PageSize >= LongFormPageSize))
        return false;
    address = Received[1] | static_cast<uint32_t>(Received[2]) << 8;
    if (form.LongForm)
    {
        if (Received[4] != 0)
            return false;
        address |= static_cast<uint32_t>(Received[3]) << 16;
    }
    return address % PageSize == 0 && address < Memory.Flash.size();
}

void CBootLoaderFirmware::WritePage(const BootLoaderCommandForm& form, IMicrocontrollerPort& port)
{
    uint32_t address = 0;
    if (Settings.Has(McuFault::Refuse) || !TargetPage(form, address))
    {
        port.SendToHost(PageRefused);
        return;
    }
    std::copy(Received.begin() + form.HeaderLength, Received.end(), Memory.Flash.begin() + address);
    port.SendToHost(PageWritten);
}

void CBootLoaderFirmware::ReadPage(const BootLoaderCommandForm& form, IMicrocontrollerPort& port)
{
    uint32_t address = 0;
    if (!TargetPage(form, address))
    {
        port.SendToHost(PageRefused);
        return;
    }
    const auto page = Memory.Flash.begin() + address;
    SendReply(Settings, {}, std::vector<uint8_t>(page, page + PageSize), Stopped, port);
}

} // namespace Corvane::Common

#include "ApplicationFirmware.h"

#include "BoardModels.h"
#include "I2cDevices.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace Corvane::Common
{

enum class CommandKind
{
    Version,
    LoopBack,
    BusSelect,
    I2cRead,
    I2cWrite,
    GetFrequency,
    SetFrequency,
    SelfReconfigure,
    Status,
    ExtendedStatus,
    Log,
};

struct CApplicationFirmware::Command
{
    char Header[4];
    uint32_t ArgumentBytes;
    CommandKind Kind;
};

namespace
{

using Command = CApplicationFirmware::Command;

const Command Commands[] = {
    {"VN?", 0, CommandKind::Version},      {"LB?", 0, CommandKind::LoopBack},
    {"IS?", 1, CommandKind::BusSelect},    {"IR?", 3, CommandKind::I2cRead},
    {"IW?", 11, CommandKind::I2cWrite},    {"GF?", 1, CommandKind::GetFrequency},
    {"SF?", 5, CommandKind::SetFrequency}, {"SD!", 8, CommandKind::SelfReconfigure},
    {"ST?", 0, CommandKind::Status},       {"SX?", 0, CommandKind::ExtendedStatus},
    {"LG?", 0, CommandKind::Log},
};

// The code the firmware wants before it reconfigures the FPGA.
const std::string_view AccessCode = "Tz4@Lm9q";

const uint32_t LoopBackBlockBytes = 16;
const uint32_t BadEchoPosition = 5;
const uint8_t BadEchoByte = 0xEE;
// Bytes that are no letters and no markers: sent before each reply under the "noise" fault, and
// after each status report the firmware sends unasked.
const uint8_t StrayBytes[] = {0x00, 0x7F, 0xC3};
const size_t LogBytes = 1024;
const size_t StatusBytes = 32;
const size_t ExtendedStatusBytes = 64;
const uint8_t NoSuchOutput = 0x01;
const uint32_t I2cFrameDataBytes = 8;

void StoreLittleEndian(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t LoadLittleEndian(const uint8_t* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void SendStrayBytes(IMicrocontrollerPort& port)
{
    for (uint8_t stray : StrayBytes)
        port.SendToHost(stray);
}

const Command* CommandWithHeader(const std::array<uint8_t, 3>& recent)
{
    for (const Command& command : Commands)
        if (std::memcmp(command.Header, recent.data(), recent.size()) == 0)
            return &command;
    return nullptr;
}

} // namespace

CApplicationFirmware::CApplicationFirmware(const Gen3CardSettings& settings, BoardMemory& memory)
    : Settings(settings), Memory(memory)
{
}

void CApplicationFirmware::OnHostByte(uint8_t byte, bool, IMicrocontrollerPort& port)
{
    if (Settings.Has(McuFault::Silent))
        return;
    if (InLoopBack)
    {
        EchoLoopBackByte(byte, port);
        return;
    }
    if (Current != nullptr)
    {
        Arguments.push_back(byte);
        if (Arguments.size() == Current->ArgumentBytes)
        {
            const Command& command = *Current;
            Current = nullptr;
            Execute(command, port);
        }
        return;
    }
    std::rotate(Recent.begin(), Recent.begin() + 1, Recent.end());
    Recent.back() = byte;
    const Command* command = CommandWithHeader(Recent);
    if (command == nullptr)
        return;
    Recent.fill(0);
    Arguments.clear();
    if (command->ArgumentBytes == 0)
        Execute(*command, port);
    else
        Current = command;
}

std::vector<uint8_t> CApplicationFirmware::PartialCommand() const
{
    if (Current == nullptr)
        return {};
    std::vector<uint8_t> bytes(Current->Header, Current->Header + 3);
    bytes.insert(bytes.end(), Arguments.begin(), Arguments.end());
    return bytes;
}

// With "chatter", the firmware reports its status unasked, followed by stray bytes, whenever the
// host has read the mailbox that often with nothing waiting.
void CApplicationFirmware::OnHostRead(IMicrocontrollerPort& port)
{
    if (Settings.ChatterReads == 0 || Stopped || !port.HostHasTakenAll())
        return;
    if (++ReadsSinceChatter < Settings.ChatterReads)
        return;
    ReadsSinceChatter = 0;
    Reply("SX=", StatusRecord(ExtendedStatusBytes), port);
    SendStrayBytes(port);
}

void CApplicationFirmware::EchoLoopBackByte(uint8_t byte, IMicrocontrollerPort& port)
{
    const bool spoilt = Settings.Has(McuFault::BadEcho) && LoopBackSent == BadEchoPosition;
    port.SendToHost(spoilt ? BadEchoByte : byte);
    // The next byte of the block is taken only once the host has read this one.
    port.HoldTxReadyUntilTaken();
    if (++LoopBackSent == LoopBackBlockBytes)
        InLoopBack = false;
}

void CApplicationFirmware::Execute(const Command& command, IMicrocontrollerPort& port)
{
    switch (command.Kind)
    {
    case CommandKind::Version:
        Reply("VN=", VersionBytes(Settings.FirmwareVersion), port);
        break;
    case CommandKind::LoopBack:
        InLoopBack = true;
        LoopBackSent = 0;
        break;
    case CommandKind::BusSelect:
        Bus = Arguments[0];
        break;
    case CommandKind::I2cRead:
        Reply("IR=", I2cRead(), port);
        break;
    case CommandKind::I2cWrite:
        I2cWrite();
        Reply("IW!", {}, port);
        break;
    case CommandKind::GetFrequency:
        Reply("GF=", Frequency(false), port);
        break;
    case CommandKind::SetFrequency:
        Reply("SF=", Frequency(true), port);
        break;
    case CommandKind::SelfReconfigure:
        // The whole answer is one byte.
        Reply(AccessCodeMatches() && !Settings.Has(McuFault::Refuse) ? "!" : "X", {}, port);
        break;
    case CommandKind::Status:
        Reply("ST=", StatusRecord(StatusBytes), port);
        break;
    case CommandKind::ExtendedStatus:
        Reply("SX=", StatusRecord(ExtendedStatusBytes), port);
        break;
    case CommandKind::Log:
    {
        std::vector<uint8_t> log(LogBytes);
        for (size_t i = 0; i < log.size(); ++i)
            log[i] = static_cast<uint8_t>('a' + i % 26);
        Reply("LG=", log, port);
        break;
    }
    }
}

void CApplicationFirmware::Reply(const char* header, const std::vector<uint8_t>& payload,
                                 IMicrocontrollerPort& port)
{
    if (Stopped)
        return;
    if (Settings.Has(McuFault::Noise))
        SendStrayBytes(port);
    SendReply(Settings, header, payload, Stopped, port);
}

std::vector<uint8_t> CApplicationFirmware::I2cRead() const
{
    const I2cAddress where{Bus, Arguments[0]};
    const uint32_t count = std::min<uint32_t>(Arguments[2], I2cFrameDataBytes);
    std::vector<uint8_t> data(I2cFrameDataBytes, 0);
    for (uint32_t i = 0; i < count; ++i)
        data[i] = ReadI2cRegister(Memory, where, static_cast<uint8_t>(Arguments[1] + i));
    return data;
}

void CApplicationFirmware::I2cWrite()
{
    const I2cAddress where{Bus, Arguments[0]};
    const uint32_t count = std::min<uint32_t>(Arguments[2], I2cFrameDataBytes);
    for (uint32_t i = 0; i < count; ++i)
        WriteI2cRegister(Memory, where, static_cast<uint8_t>(Arguments[1] + i), Arguments[3 + i]);
}

// GF= and SF=: a status byte and the output's frequency in hertz.
std::vector<uint8_t> CApplicationFirmware::Frequency(bool set)
{
    const uint32_t output = Arguments[0];
    std::vector<uint8_t> payload;
    if (output >= MultisynthHertz.size())
    {
        payload.push_back(NoSuchOutput);
        StoreLittleEndian(payload, 0);
        return payload;
    }
    if (set)
        MultisynthHertz[output] = LoadLittleEndian(&Arguments[1]);
    payload.push_back(0);
    StoreLittleEndian(payload, MultisynthHertz[output]);
    return payload;
}

std::vector<uint8_t> CApplicationFirmware::StatusRecord(size_t size) const
{
    std::vector<uint8_t> record(size, 0);
    if (Settings.Status)
        std::copy_n(Settings.Status->begin(), std::min(size, Settings.Status->size()),
                    record.begin());
    else
        std::copy_n(FindMcuModel(Settings.ModelCode).DefaultStatus->begin(), size, record.begin());
    return record;
}

bool CApplicationFirmware::AccessCodeMatches() const
{
    return std::equal(Arguments.begin(), Arguments.end(), AccessCode.begin(), AccessCode.end());
}

} // namespace Corvane::Common

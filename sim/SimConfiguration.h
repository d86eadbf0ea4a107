#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::Common
{

// The simulated host: which cards sit in it and how each one misbehaves. Read from a small
// INI-style file of our own (format in sim/README.md).

// Library calls that a card can be told to fail.
enum class SimFailure : uint32_t
{
    Open,
    CardInfo,
    Map0,
    Map2,
    Map3,
    FpgaInfo,
    Configure,
    Clock,
    Bank,
    Close,
    ControlSpace,
    FpgaSpace,
    SpaceConfig,
};

// What answers behind the mailbox register.
enum class McuMode
{
    Application, // the application firmware runs
    Service,     // the boot loader runs
    Absent,      // nothing answers
};

// Misbehaviour of the microcontroller's programs (the application firmware or the boot loader).
enum class McuFault
{
    Silent,       // takes every byte, answers nothing
    StopMidReply, // a reply stops after half of its payload, then nothing more comes
    Noise,        // three stray bytes before every reply
    BadEcho,      // the loop-back echo of byte 5 of each block comes back as 0xEE
    Refuse,       // the self-reconfigure order and page writes are refused
};

using ProgramVersion = std::array<uint16_t, 4>;

// A version as both programs of the microcontroller send it: each number in two bytes, low first.
std::vector<uint8_t> VersionBytes(const ProgramVersion& version);

enum class BridgeError
{
    Clear,
    Once,   // the error bit is set when the card powers up
    Always, // set again after every read through window 0
};

struct SimBank
{
    uint64_t Depth = 0;
    uint32_t WidthBits = 0; // 0: bank not fitted
};

struct Gen3CardSettings
{
    uint32_t Index = 0;
    uint32_t Serial = 0;
    uint32_t ModelCode = 0x10C;
    std::string FpgaName = "CVX-410T";
    uint32_t ClockCount = 2;
    uint8_t InfoByte = 0x11;
    std::vector<SimBank> Banks{{0x100000, 32}, {0x100000, 32}};
    std::vector<SimFailure> Failures;
    McuMode Mcu = McuMode::Application;
    uint32_t TxReadyAfter = 0;
    bool TxNeverReady = false;
    std::vector<uint32_t> RefusedPages;
    std::optional<uint32_t> IndirectCompleteAfter = 0; // empty: never completes
    std::vector<uint8_t> ProbeAnswers;
    bool ProbeStuck = false; // the probe controller never finishes a command
    uint32_t FpgaSpaceBytes = 0x1000000;
    BridgeError Bridge = BridgeError::Clear;
    uint16_t MailboxUpper = 0;
    std::vector<uint8_t> McuSends; // bytes the microcontroller offers right after power-up
    ProgramVersion FirmwareVersion{2, 4, 0, 17};
    ProgramVersion BootLoaderVersion{1, 3, 0, 5};
    std::optional<std::vector<uint8_t>> Status; // the status record; empty: the model's default
    std::vector<McuFault> Faults;
    uint32_t ChatterReads = 0; // the firmware sends a status reply every so many reads; 0: never

    bool Fails(SimFailure failure) const;
    bool Has(McuFault fault) const;
};

struct Gen2CardSettings
{
    uint32_t Index = 0;
    uint32_t Serial = 0;
    uint32_t CardType = 12;
    uint32_t FpgaType = 98;
    uint32_t ClockCount = 1;
    uint8_t InfoByte = 0x11;
    std::vector<SimBank> Banks{{0x40000, 32}};
    std::vector<SimFailure> Failures;
    uint32_t FpgaSpaceBytes = 0x100000;
    uint32_t ControlBusyReads = 2;

    bool Fails(SimFailure failure) const;
};

struct SimConfiguration
{
    std::vector<Gen3CardSettings> Gen3Cards;
    std::vector<Gen2CardSettings> Gen2Cards;
    std::string TracePath; // empty: no trace
    std::string StatePath; // empty: nothing persists

    // One Gen 3 card at index 0 with the application firmware running.
    static SimConfiguration Default();
};

// Parses the text of a configuration. On failure returns false and sets error to one line naming
// the source and the line ("file:7: unknown key 'colour' in [gen3]").
bool ParseSimConfiguration(const std::string& text, const std::string& sourceName,
                           SimConfiguration& configuration, std::string& error);

// Appends the bytes of one word of hex digit pairs ("60b90500"). False, with bytes as they were,
// when the word holds anything else or an odd number of digits.
bool ParseHexWord(const std::string& word, std::vector<uint8_t>& bytes);

} // namespace Corvane::Common

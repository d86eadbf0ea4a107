#include "BoardMemory.h"

#include "SimConfiguration.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace Corvane::Common
{

namespace
{

// Each line of the file carries this many bytes of flash or of a device.
const size_t BytesPerLine = 32;
const size_t MaximumFlashAddress = 16 * 1024 * 1024;

std::string Hex(const uint8_t* bytes, size_t count)
{
    std::string text;
    char digits[3];
    for (size_t i = 0; i < count; ++i)
    {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

bool AllEqual(const uint8_t* bytes, size_t count, uint8_t value)
{
    return std::all_of(bytes, bytes + count, [value](uint8_t byte) { return byte == value; });
}

void FormatFlash(const std::vector<uint8_t>& flash, std::ostringstream& out)
{
    for (size_t at = 0; at < flash.size(); at += BytesPerLine)
    {
        const size_t count = std::min(BytesPerLine, flash.size() - at);
        if (AllEqual(&flash[at], count, ErasedFlash))
            continue;
        char address[24];
        std::snprintf(address, sizeof address, "0x%06lx", static_cast<unsigned long>(at));
        out << "flash " << address << ' ' << Hex(&flash[at], count) << '\n';
    }
}

void FormatDevice(const I2cAddress& where, const I2cDeviceState& device, std::ostringstream& out)
{
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%u 0x%02x", static_cast<unsigned>(where.Bus),
                  static_cast<unsigned>(where.Chip));
    for (size_t at = 0; at < device.Registers.size(); at += BytesPerLine)
        if (!AllEqual(&device.Registers[at], BytesPerLine, 0))
        {
            char reg[8];
            std::snprintf(reg, sizeof reg, "0x%02x", static_cast<unsigned>(at));
            out << "i2c " << prefix << ' ' << reg << ' ' << Hex(&device.Registers[at], BytesPerLine)
                << '\n';
        }
    if (device.Flags != 0)
        out << "flags " << prefix << ' ' << static_cast<unsigned>(device.Flags) << '\n';
}

bool ParseNumber(const std::string& word, unsigned long maximum, unsigned long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    value = std::strtoul(word.c_str(), &end, 0);
    return *end == '\0' && value <= maximum && word[0] != '-';
}

class CStateParser
{
public:
    explicit CStateParser(std::map<uint32_t, BoardMemory>& memories) : Memories(memories) {}

    bool Parse(const std::string& text, std::string& error)
    {
        std::istringstream lines(text);
        std::string line;
        int number = 0;
        while (std::getline(lines, line))
        {
            ++number;
            const std::string content = line.substr(0, line.find('#'));
            std::istringstream words(content);
            std::vector<std::string> parts;
            for (std::string word; words >> word;)
                parts.push_back(word);
            if (!parts.empty() && !ParseLine(parts))
            {
                error = "line " + std::to_string(number) + ": " + Problem;
                return false;
            }
        }
        return true;
    }

private:
    bool ParseLine(const std::vector<std::string>& parts)
    {
        const std::string& kind = parts[0];
        if (kind == "card")
            return ParseCard(parts);
        if (Card == nullptr)
            return Fail("'" + kind + "' before the first 'card' line");
        if (kind == "flash")
            return ParseFlash(parts);
        if (kind == "i2c")
            return ParseDevice(parts);
        if (kind == "flags")
            return ParseFlags(parts);
        if (kind == "pending")
            return ParsePending(parts);
        return Fail("unknown line '" + kind + "'");
    }

    bool ParseCard(const std::vector<std::string>& parts)
    {
        unsigned long index = 0;
        if (parts.size() != 2 || !ParseNumber(parts[1], 14, index))
            return Fail("expected 'card <index 0-14>'");
        Card = &Memories[static_cast<uint32_t>(index)];
        return true;
    }

    bool ParseFlash(const std::vector<std::string>& parts)
    {
        unsigned long address = 0;
        std::vector<uint8_t> bytes;
        if (parts.size() != 3 || !ParseNumber(parts[1], MaximumFlashAddress, address) ||
            !ParseHexWord(parts[2], bytes) || address + bytes.size() > MaximumFlashAddress)
            return Fail("expected 'flash <address> <hex bytes>'");
        if (Card->Flash.size() < address + bytes.size())
            Card->Flash.resize(address + bytes.size(), ErasedFlash);
        std::copy(bytes.begin(), bytes.end(), Card->Flash.begin() + static_cast<long>(address));
        return true;
    }

    bool ParseAddress(const std::string& bus, const std::string& chip, I2cAddress& where)
    {
        unsigned long busNumber = 0, chipNumber = 0;
        if (!ParseNumber(bus, 0xFF, busNumber) || !ParseNumber(chip, 0xFF, chipNumber))
            return false;
        where.Bus = static_cast<uint8_t>(busNumber);
        where.Chip = static_cast<uint8_t>(chipNumber);
        return true;
    }

    bool ParseDevice(const std::vector<std::string>& parts)
    {
        I2cAddress where;
        unsigned long reg = 0;
        std::vector<uint8_t> bytes;
        if (parts.size() != 5 || !ParseAddress(parts[1], parts[2], where) ||
            !ParseNumber(parts[3], 0xFF, reg) || !ParseHexWord(parts[4], bytes) ||
            reg + bytes.size() > 256)
            return Fail("expected 'i2c <bus> <chip> <register> <hex bytes>'");
        I2cDeviceState& device = Card->Devices[where];
        std::copy(bytes.begin(), bytes.end(), device.Registers.begin() + static_cast<long>(reg));
        return true;
    }

    bool ParseFlags(const std::vector<std::string>& parts)
    {
        I2cAddress where;
        unsigned long flags = 0;
        if (parts.size() != 4 || !ParseAddress(parts[1], parts[2], where) ||
            !ParseNumber(parts[3], 0xFF, flags))
            return Fail("expected 'flags <bus> <chip> <value>'");
        Card->Devices[where].Flags = static_cast<uint8_t>(flags);
        return true;
    }

    bool ParsePending(const std::vector<std::string>& parts)
    {
        Card->PendingCommand.clear();
        if (parts.size() != 3 || (parts[1] != "boot_loader" && parts[1] != "application") ||
            !ParseHexWord(parts[2], Card->PendingCommand))
            return Fail("expected 'pending boot_loader|application <hex bytes>'");
        Card->PendingInBootLoader = parts[1] == "boot_loader";
        return true;
    }

    bool Fail(const std::string& problem)
    {
        Problem = problem;
        return false;
    }

    std::map<uint32_t, BoardMemory>& Memories;
    BoardMemory* Card = nullptr;
    std::string Problem;
};

} // namespace

std::string FormatBoardMemories(const std::map<uint32_t, BoardMemory>& memories)
{
    std::ostringstream out;
    out << "# tvxsim state: what the simulated cards keep while their power stays on\n";
    for (const auto& [index, memory] : memories)
    {
        out << "card " << index << '\n';
        FormatFlash(memory.Flash, out);
        for (const auto& [where, device] : memory.Devices)
            FormatDevice(where, device, out);
        if (!memory.PendingCommand.empty())
            out << "pending " << (memory.PendingInBootLoader ? "boot_loader " : "application ")
                << Hex(memory.PendingCommand.data(), memory.PendingCommand.size()) << '\n';
    }
    return out.str();
}

bool ParseBoardMemories(const std::string& text, std::map<uint32_t, BoardMemory>& memories,
                        std::string& error)
{
    std::map<uint32_t, BoardMemory> parsed;
    if (!CStateParser(parsed).Parse(text, error))
        return false;
    memories = std::move(parsed);
    return true;
}

} // namespace Corvane::Common

#include "SimConfiguration.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>

namespace Corvane::Common
{

bool Gen3CardSettings::Fails(SimFailure failure) const
{
    return std::find(Failures.begin(), Failures.end(), failure) != Failures.end();
}

bool Gen3CardSettings::Has(McuFault fault) const
{
    return std::find(Faults.begin(), Faults.end(), fault) != Faults.end();
}

bool Gen2CardSettings::Fails(SimFailure failure) const
{
    return std::find(Failures.begin(), Failures.end(), failure) != Failures.end();
}

std::vector<uint8_t> VersionBytes(const ProgramVersion& version)
{
    std::vector<uint8_t> bytes;
    for (uint16_t number : version)
    {
        bytes.push_back(static_cast<uint8_t>(number));
        bytes.push_back(static_cast<uint8_t>(number >> 8));
    }
    return bytes;
}

SimConfiguration SimConfiguration::Default()
{
    SimConfiguration configuration;
    Gen3CardSettings card;
    card.Serial = 10001;
    configuration.Gen3Cards.push_back(card);
    return configuration;
}

namespace
{

const uint32_t Gen3DefaultSerialBase = 10001;
const uint32_t Gen2DefaultSerialBase = 2001;
const uint32_t HighestCardIndex = 14;
const uint32_t MaximumClockCount = 16;
const uint32_t MaximumFpgaNameLength = 511;
const uint32_t MaximumFpgaSpaceBytes = 0x40000000;
const size_t MaximumStatusBytes = 64;

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string StripComment(const std::string& line)
{
    return line.substr(0, line.find_first_of("#;"));
}

// Words of a list value, separated by commas and/or blanks.
std::vector<std::string> SplitList(const std::string& value)
{
    std::string spaced = value;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream stream(spaced);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// A decimal or "0x" hexadecimal number no greater than maximum.
bool ParseNumber(const std::string& text, uint64_t maximum, uint64_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                              std::string::npos)
        return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

template <typename Number> bool ParseInto(const std::string& text, uint64_t maximum, Number& out)
{
    uint64_t value = 0;
    if (!ParseNumber(text, maximum, value))
        return false;
    out = static_cast<Number>(value);
    return true;
}

template <typename Number>
bool ParseNumberList(const std::string& text, uint64_t maximum, std::vector<Number>& out)
{
    for (const std::string& word : SplitList(text))
    {
        Number number{};
        if (!ParseInto(word, maximum, number))
            return false;
        out.push_back(number);
    }
    return true;
}

bool ParseBanks(const std::string& text, std::vector<SimBank>& banks)
{
    banks.clear();
    for (const std::string& word : SplitList(text))
    {
        const size_t colon = word.find(':');
        SimBank bank;
        if (colon == std::string::npos ||
            !ParseInto(word.substr(0, colon), UINT64_MAX, bank.Depth) ||
            !ParseInto(word.substr(colon + 1), 0xFFFF, bank.WidthBits))
            return false;
        banks.push_back(bank);
    }
    return true;
}

// A word of a list key and what it stands for.
template <typename Value> struct NamedValue
{
    const char* Name;
    Value Meaning;
};

const NamedValue<SimFailure> Gen3FailureNames[] = {
    {"open", SimFailure::Open},           {"card_info", SimFailure::CardInfo},
    {"map0", SimFailure::Map0},           {"map2", SimFailure::Map2},
    {"map3", SimFailure::Map3},           {"fpga_info", SimFailure::FpgaInfo},
    {"configure", SimFailure::Configure}, {"clock", SimFailure::Clock},
    {"bank", SimFailure::Bank},           {"close", SimFailure::Close},
};

const NamedValue<SimFailure> Gen2FailureNames[] = {
    {"open", SimFailure::Open},
    {"card_info", SimFailure::CardInfo},
    {"control_space", SimFailure::ControlSpace},
    {"fpga_space", SimFailure::FpgaSpace},
    {"space_config", SimFailure::SpaceConfig},
    {"configure", SimFailure::Configure},
    {"clock", SimFailure::Clock},
    {"bank", SimFailure::Bank},
    {"close", SimFailure::Close},
};

const NamedValue<McuFault> McuFaultNames[] = {
    {"silent", McuFault::Silent}, {"stop_mid_reply", McuFault::StopMidReply},
    {"noise", McuFault::Noise},   {"bad_echo", McuFault::BadEcho},
    {"refuse", McuFault::Refuse},
};

// A list of names from a table; false at the first word the table does not know.
template <typename Value, size_t Count>
bool ParseNames(const std::string& text, const NamedValue<Value> (&names)[Count],
                std::vector<Value>& values)
{
    for (const std::string& word : SplitList(text))
    {
        const NamedValue<Value>* found =
            std::find_if(std::begin(names), std::end(names),
                         [&](const NamedValue<Value>& n) { return word == n.Name; });
        if (found == std::end(names))
            return false;
        values.push_back(found->Meaning);
    }
    return true;
}

// "a.b.c.d": four numbers of 16 bits.
bool ParseVersion(const std::string& text, ProgramVersion& version)
{
    std::string dotted = text;
    std::replace(dotted.begin(), dotted.end(), '.', ' ');
    const std::vector<std::string> parts = SplitList(dotted);
    if (parts.size() != version.size() || std::count(text.begin(), text.end(), '.') != 3)
        return false;
    for (size_t i = 0; i < parts.size(); ++i)
        if (!ParseInto(parts[i], 0xFFFF, version[i]))
            return false;
    return true;
}

// Hex bytes: words of hex digit pairs ("60 b9 05 00" or "60b90500"), at most 64 bytes.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    for (const std::string& word : SplitList(text))
        if (!ParseHexWord(word, bytes))
            return false;
    return bytes.size() <= MaximumStatusBytes;
}

bool ParseMcuMode(const std::string& text, McuMode& mode)
{
    if (text == "application")
        mode = McuMode::Application;
    else if (text == "service")
        mode = McuMode::Service;
    else if (text == "absent")
        mode = McuMode::Absent;
    else
        return false;
    return true;
}

bool ParseBridgeError(const std::string& text, BridgeError& error)
{
    if (text == "0")
        error = BridgeError::Clear;
    else if (text == "1")
        error = BridgeError::Once;
    else if (text == "always")
        error = BridgeError::Always;
    else
        return false;
    return true;
}

bool ParseFpgaSpace(const std::string& text, uint32_t& bytes)
{
    return ParseInto(text, MaximumFpgaSpaceBytes, bytes) && bytes >= 4 && bytes % 4 == 0;
}

// A key of a section: how its value is parsed into the settings, and whether the key may be
// given more than once (list keys add up).
template <typename Settings> struct KeyRule
{
    const char* Key;
    bool Repeatable;
    std::function<bool(const std::string&, Settings&)> Parse;
};

using Gen3Rule = KeyRule<Gen3CardSettings>;
using Gen2Rule = KeyRule<Gen2CardSettings>;
using HostRule = KeyRule<SimConfiguration>;

const std::vector<Gen3Rule>& Gen3Rules()
{
    static const std::vector<Gen3Rule> rules = {
        {"index", false, [](auto& v, auto& s) { return ParseInto(v, HighestCardIndex, s.Index); }},
        {"serial", false, [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.Serial); }},
        {"model", false, [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.ModelCode); }},
        {"fpga", false,
         [](auto& v, auto& s)
         {
             s.FpgaName = v;
             return !v.empty() && v.size() <= MaximumFpgaNameLength;
         }},
        {"clocks", false,
         [](auto& v, auto& s) { return ParseInto(v, MaximumClockCount, s.ClockCount); }},
        {"info_byte", false, [](auto& v, auto& s) { return ParseInto(v, 0xFF, s.InfoByte); }},
        {"banks", false, [](auto& v, auto& s) { return ParseBanks(v, s.Banks); }},
        {"fail", true,
         [](auto& v, auto& s) { return ParseNames(v, Gen3FailureNames, s.Failures); }},
        {"mcu", false, [](auto& v, auto& s) { return ParseMcuMode(v, s.Mcu); }},
        {"tx_ready_after", false,
         [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.TxReadyAfter); }},
        {"tx_ready", false,
         [](auto& v, auto& s)
         {
             s.TxNeverReady = v == "never";
             return v == "never" || v == "normal";
         }},
        {"page_refuse", true,
         [](auto& v, auto& s) { return ParseNumberList(v, UINT32_MAX, s.RefusedPages); }},
        {"indirect_complete_after", false,
         [](auto& v, auto& s)
         {
             if (v == "never")
             {
                 s.IndirectCompleteAfter.reset();
                 return true;
             }
             uint32_t reads = 0;
             s.IndirectCompleteAfter = reads;
             return ParseInto(v, UINT32_MAX, *s.IndirectCompleteAfter);
         }},
        {"probe_answers", true,
         [](auto& v, auto& s) { return ParseNumberList(v, 0xFF, s.ProbeAnswers); }},
        {"probe_stuck", false, [](auto& v, auto& s) { return ParseInto(v, 1, s.ProbeStuck); }},
        {"fpga_space", false, [](auto& v, auto& s) { return ParseFpgaSpace(v, s.FpgaSpaceBytes); }},
        {"bridge_error", false, [](auto& v, auto& s) { return ParseBridgeError(v, s.Bridge); }},
        {"mailbox_upper", false,
         [](auto& v, auto& s) { return ParseInto(v, 0xFFFF, s.MailboxUpper); }},
        {"mcu_sends", true, [](auto& v, auto& s) { return ParseNumberList(v, 0xFF, s.McuSends); }},
        {"firmware_version", false,
         [](auto& v, auto& s) { return ParseVersion(v, s.FirmwareVersion); }},
        {"bootloader_version", false,
         [](auto& v, auto& s) { return ParseVersion(v, s.BootLoaderVersion); }},
        {"status", false,
         [](auto& v, auto& s)
         {
             s.Status.emplace();
             return ParseHexBytes(v, *s.Status);
         }},
        {"fault", true, [](auto& v, auto& s) { return ParseNames(v, McuFaultNames, s.Faults); }},
        {"chatter", false,
         [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.ChatterReads); }},
    };
    return rules;
}

const std::vector<Gen2Rule>& Gen2Rules()
{
    static const std::vector<Gen2Rule> rules = {
        {"index", false, [](auto& v, auto& s) { return ParseInto(v, HighestCardIndex, s.Index); }},
        {"serial", false, [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.Serial); }},
        {"card_type", false, [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.CardType); }},
        {"fpga_type", false, [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.FpgaType); }},
        {"clocks", false,
         [](auto& v, auto& s) { return ParseInto(v, MaximumClockCount, s.ClockCount); }},
        {"info_byte", false, [](auto& v, auto& s) { return ParseInto(v, 0xFF, s.InfoByte); }},
        {"banks", false, [](auto& v, auto& s) { return ParseBanks(v, s.Banks); }},
        {"fail", true,
         [](auto& v, auto& s) { return ParseNames(v, Gen2FailureNames, s.Failures); }},
        {"fpga_space", false, [](auto& v, auto& s) { return ParseFpgaSpace(v, s.FpgaSpaceBytes); }},
        {"control_busy_reads", false,
         [](auto& v, auto& s) { return ParseInto(v, UINT32_MAX, s.ControlBusyReads); }},
    };
    return rules;
}

const std::vector<HostRule>& HostRules()
{
    static const std::vector<HostRule> rules = {
        {"trace", false,
         [](auto& v, auto& c)
         {
             c.TracePath = v;
             return !v.empty();
         }},
        {"state", false,
         [](auto& v, auto& c)
         {
             c.StatePath = v;
             return !v.empty();
         }},
    };
    return rules;
}

enum class Section
{
    None,
    Gen3,
    Gen2,
    Host,
};

class CConfigurationParser
{
public:
    CConfigurationParser(const std::string& sourceName, SimConfiguration& configuration)
        : SourceName(sourceName), Configuration(configuration)
    {
    }

    bool Parse(const std::string& text, std::string& error)
    {
        std::istringstream stream(text);
        std::string line;
        while (std::getline(stream, line))
        {
            ++LineNumber;
            if (!ParseLine(Trim(StripComment(line))))
                break;
        }
        if (Error.empty())
            FinishSection();
        error = Error;
        return Error.empty();
    }

private:
    bool ParseLine(const std::string& line)
    {
        if (line.empty())
            return true;
        if (line.front() == '[')
            return StartSection(line);
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return Fail("expected 'key = value' or '[section]'");
        return SetKey(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }

    bool StartSection(const std::string& line)
    {
        if (!FinishSection())
            return false;
        if (line == "[gen3]")
        {
            CurrentSection = Section::Gen3;
            Gen3 = Gen3CardSettings();
        }
        else if (line == "[gen2]")
        {
            CurrentSection = Section::Gen2;
            Gen2 = Gen2CardSettings();
        }
        else if (line == "[host]")
            CurrentSection = Section::Host;
        else
            return Fail("unknown section " + line + " (known: [gen3], [gen2], [host])");
        SectionLine = LineNumber;
        KeysSeen.clear();
        return true;
    }

    bool SetKey(const std::string& key, const std::string& value)
    {
        switch (CurrentSection)
        {
        case Section::Gen3:
            return ApplyRule(Gen3Rules(), "[gen3]", key, value, Gen3);
        case Section::Gen2:
            return ApplyRule(Gen2Rules(), "[gen2]", key, value, Gen2);
        case Section::Host:
            return ApplyRule(HostRules(), "[host]", key, value, Configuration);
        case Section::None:
            break;
        }
        return Fail("key '" + key + "' outside of a section");
    }

    template <typename Settings>
    bool ApplyRule(const std::vector<KeyRule<Settings>>& rules, const char* sectionName,
                   const std::string& key, const std::string& value, Settings& settings)
    {
        const auto rule = std::find_if(rules.begin(), rules.end(),
                                       [&](const KeyRule<Settings>& r) { return key == r.Key; });
        if (rule == rules.end())
            return Fail("unknown key '" + key + "' in " + sectionName);
        if (!rule->Repeatable && !KeysSeen.insert(key).second)
            return Fail("key '" + key + "' given twice in " + sectionName);
        KeysSeen.insert(key);
        if (!rule->Parse(value, settings))
            return Fail("bad value '" + value + "' for key '" + key + "'");
        return true;
    }

    // A card section is complete when the next section begins or the text ends.
    bool FinishSection()
    {
        if (CurrentSection == Section::Gen3)
            return FinishCard(Configuration.Gen3Cards, Gen3, Gen3DefaultSerialBase, "[gen3]");
        if (CurrentSection == Section::Gen2)
            return FinishCard(Configuration.Gen2Cards, Gen2, Gen2DefaultSerialBase, "[gen2]");
        return true;
    }

    template <typename Settings>
    bool FinishCard(std::vector<Settings>& cards, Settings& card, uint32_t serialBase,
                    const char* sectionName)
    {
        if (KeysSeen.count("index") == 0)
            return FailAt(SectionLine, std::string(sectionName) + " section without 'index'");
        if (KeysSeen.count("serial") == 0)
            card.Serial = serialBase + card.Index;
        for (const Settings& other : cards)
            if (other.Index == card.Index)
                return FailAt(SectionLine, "a second " + std::string(sectionName) +
                                               " card at index " + std::to_string(card.Index));
        cards.push_back(card);
        CurrentSection = Section::None;
        return true;
    }

    bool Fail(const std::string& message) { return FailAt(LineNumber, message); }

    bool FailAt(int line, const std::string& message)
    {
        Error = SourceName + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    const std::string& SourceName;
    SimConfiguration& Configuration;
    Section CurrentSection = Section::None;
    Gen3CardSettings Gen3;
    Gen2CardSettings Gen2;
    std::set<std::string> KeysSeen;
    int LineNumber = 0;
    int SectionLine = 0;
    std::string Error;
};

} // namespace

bool ParseHexWord(const std::string& word, std::vector<uint8_t>& bytes)
{
    if (word.size() % 2 != 0 ||
        word.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    for (size_t i = 0; i < word.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::strtoul(word.substr(i, 2).c_str(), nullptr, 16)));
    return true;
}

bool ParseSimConfiguration(const std::string& text, const std::string& sourceName,
                           SimConfiguration& configuration, std::string& error)
{
    SimConfiguration parsed;
    CConfigurationParser parser(sourceName, parsed);
    if (!parser.Parse(text, error))
        return false;
    configuration = parsed;
    return true;
}

} // namespace Corvane::Common

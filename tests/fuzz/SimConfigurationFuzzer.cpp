// The stand-in's configuration parser fed arbitrary text. A configuration it accepts must keep
// the bounds the emulation relies on; one it refuses gives one line naming the source and line.
#include "FuzzTarget.h"

#include "sim/SimConfiguration.h"

#include <set>
#include <string>

using namespace Corvane::Common;
using MistleFuzz::Require;

namespace
{

const char* const SourceName = "host.ini";

template <typename Cards> void CheckIndexes(const Cards& cards)
{
    std::set<uint32_t> indexes;
    for (const auto& card : cards)
    {
        Require(card.Index <= 14, "a card's library index is 0-14");
        Require(indexes.insert(card.Index).second, "no two cards of a kind share an index");
        Require(card.ClockCount <= 16, "at most 16 clocks");
        Require(card.FpgaSpaceBytes >= 4 && card.FpgaSpaceBytes % 4 == 0,
                "the FPGA space is whole words");
    }
}

void CheckAccepted(const SimConfiguration& configuration)
{
    CheckIndexes(configuration.Gen3Cards);
    CheckIndexes(configuration.Gen2Cards);
    for (const Gen3CardSettings& card : configuration.Gen3Cards)
    {
        Require(!card.FpgaName.empty() && card.FpgaName.size() <= 511, "an FPGA name fits");
        Require(!card.Status || card.Status->size() <= 64, "a status record fits its reply");
        Require(card.FpgaSpaceBytes <= 0x40000000u, "at most 1 GiB of FPGA space");
    }
}

void CheckRefused(const std::string& error, const SimConfiguration& configuration)
{
    const std::string prefix = std::string(SourceName) + ":";
    Require(error.compare(0, prefix.size(), prefix) == 0, "an error names the file");
    Require(error.size() > prefix.size() && error[prefix.size()] >= '1' &&
                error[prefix.size()] <= '9',
            "an error names the line");
    Require(error.find('\n') == std::string::npos, "an error is one line");
    Require(configuration.Gen3Cards.empty() && configuration.Gen2Cards.empty() &&
                configuration.TracePath.empty() && configuration.StatePath.empty(),
            "a refused configuration leaves nothing behind");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SimConfiguration configuration;
    std::string error;
    if (ParseSimConfiguration(text, SourceName, configuration, error))
    {
        Require(error.empty(), "an accepted configuration has no error");
        CheckAccepted(configuration);
    }
    else
        CheckRefused(error, configuration);
    return 0;
}

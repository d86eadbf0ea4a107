#pragma once

#include "EmulatedGen2Card.h"
#include "SimConfiguration.h"
#include "cards/BoardLibraryApi.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::Common
{

// The simulated host as the Gen 2 library sees it. One instance per library, created on first use
// from the configuration file; every member is called with SimulationMutex held.
class CGen2Host
{
public:
    static CGen2Host& Instance();
    static CGen2Host* Existing();

    TvxStatus OpenCardByIndex(uint32_t index, TvxHandle* handle);
    TvxStatus GetCardInfo(TvxHandle handle, uint8_t* record);
    TvxStatus GetSpaceInfo(TvxHandle handle, uint32_t space, uint8_t* record);
    TvxStatus SetSpaceConfig(TvxHandle handle, uint32_t space, uint32_t config);
    TvxStatus ConfigureFromFile(TvxHandle handle, const char* path);
    TvxStatus SetClockRate(TvxHandle handle, uint32_t clock, double frequency, double* actual);
    TvxStatus GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record);
    TvxStatus CloseCard(TvxHandle handle);

    bool Configure(const std::string& text);
    const std::string& LastError() const { return Error; }
    CEmulatedGen2Card* Card(uint32_t index);
    uint32_t OpenHandles(uint32_t index) const;
    const std::string& TracePath() const { return Configuration.TracePath; }
    std::vector<std::string> TraceLines() const;

private:
    CGen2Host();
    void PowerUp(const SimConfiguration& configuration);
    CEmulatedGen2Card* SessionCard(TvxHandle handle);

    SimConfiguration Configuration;
    std::map<uint32_t, std::unique_ptr<CEmulatedGen2Card>> Cards;
    std::map<TvxHandle, uint32_t> Sessions; // handle -> card index
    std::string Error;
};

} // namespace Corvane::Common

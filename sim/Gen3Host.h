#pragma once

#include "EmulatedGen3Card.h"
#include "SimConfiguration.h"
#include "cards/BoardLibraryApi.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::Common
{

// The simulated host as the Gen 3 library sees it: its cards and the open handles. One instance
// per library, created on first use from the configuration file; every member is called with
// SimulationMutex held.
class CGen3Host
{
public:
    static CGen3Host& Instance();
    // The instance if one was created (for the trace at unload), else null.
    static CGen3Host* Existing();

    TvxStatus OpenEx(uint32_t index, uint32_t inspectOnly, TvxHandle* handle);
    TvxStatus GetCardInfo(TvxHandle handle, uint8_t* record);
    TvxStatus ConfigureFromFile(TvxHandle handle, uint32_t flags, const char* path);
    TvxStatus MapWindow(TvxHandle handle, uint32_t window, uint64_t offset, uint64_t length,
                        void** pointer);
    TvxStatus SetClockFrequency(TvxHandle handle, uint32_t clock, double frequency, double* actual);
    TvxStatus GetFpgaInfoA(TvxHandle handle, uint8_t* record);
    TvxStatus GetFpgaInfoW(TvxHandle handle, uint8_t* record);
    TvxStatus GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record);
    TvxStatus UnmapWindow(TvxHandle handle, void* pointer);
    TvxStatus Close(TvxHandle handle);

    bool Configure(const std::string& text);
    const std::string& LastError() const { return Error; }
    CEmulatedGen3Card* Card(uint32_t index);
    uint32_t OpenHandles(uint32_t index) const;
    const std::string& TracePath() const { return Configuration.TracePath; }
    std::vector<std::string> TraceLines() const;

private:
    struct Session
    {
        uint32_t Index;
        std::vector<void*> Windows;
    };

    CGen3Host();
    void PowerUp(const SimConfiguration& configuration);
    void CloseAll();
    Session* FindSession(TvxHandle handle);
    CEmulatedGen3Card* SessionCard(TvxHandle handle);

    SimConfiguration Configuration;
    std::map<uint32_t, std::unique_ptr<CEmulatedGen3Card>> Cards;
    std::map<TvxHandle, Session> Sessions;
    std::string Error;
};

} // namespace Corvane::Common

#pragma once

#include "FaultTrap.h"
#include "SimConfiguration.h"
#include "SimEnvironment.h"
#include "SimStatus.h"
#include "cards/BoardLibraryApi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Corvane::Common
{

// Record bytes the library does not define are filled with this, so that a caller reading a field
// at the wrong offset sees a value that stands out.
constexpr uint8_t RecordFiller = 0xA5;

inline void StoreU32(uint8_t* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

// Where a generation's card-information record holds the fields both generations have.
struct CardInfoLayout
{
    size_t Size;
    size_t Serial;
    size_t ClockCount;
    size_t InfoByte;
};

// The simulated host as one library sees it: the cards of its generation (TCard) and the open
// handles with the windows mapped through them. THost is the generation's host, of which there is
// one instance per library, created on first use from the configuration file. It is never
// destroyed, since another thread may still be inside a window access while the process winds
// down. Every member is called with SimulationMutex held.
template <typename THost, typename TCard> class CSimulatedHost
{
public:
    using CardType = TCard;
    using Settings = typename TCard::SettingsType;
    using Counter = typename TCard::Counter;
    using CardList = std::vector<Settings> SimConfiguration::*;

    static THost& Instance()
    {
        if (TheHost == nullptr)
        {
            TheHost = new THost();
            TheHost->PowerUp(LoadConfigurationFromEnvironment(TheHost->Error));
        }
        return *TheHost;
    }
    // The instance if one was created (for what is written at unload), else null.
    static THost* Existing() { return TheHost; }

    bool Configure(const std::string& text)
    {
        SimConfiguration configuration;
        std::string error;
        if (!ParseSimConfiguration(text, "configuration text", configuration, error))
        {
            Error = error;
            return false;
        }
        Error.clear();
        PowerUp(configuration);
        return true;
    }
    const std::string& LastError() const { return Error; }

    TCard* Card(uint32_t index)
    {
        const auto found = Cards.find(index);
        return found == Cards.end() ? nullptr : found->second.get();
    }

    // The library calls that both generations have.
    TvxStatus Open(uint32_t index, TvxHandle* handle)
    {
        if (handle == nullptr)
            return SIM_STATUS_INVALID_ARGUMENT;
        *handle = 0;
        TCard* card = Card(index);
        if (card == nullptr)
            return SIM_STATUS_CARD_NOT_FOUND;
        if (card->Settings().Fails(SimFailure::Open))
        {
            card->Count(Counter::OpenFailures);
            return SIM_STATUS_OPEN_FAILED;
        }
        *handle = NextHandle++;
        Sessions[*handle] = Session{index, {}};
        card->Count(Counter::Opens);
        return SIM_STATUS_SUCCESS;
    }

    // The card-information record: the fields both generations have at the places of
    // THost::CardInfo, those of the generation by THost::StoreCardDetails, RecordFiller between.
    TvxStatus GetCardInfo(TvxHandle handle, uint8_t* record)
    {
        TvxStatus status = SIM_STATUS_SUCCESS;
        TCard* card = BeginRecordCall(handle, record, Counter::CardInfoReads, SimFailure::CardInfo,
                                      SIM_STATUS_CARD_INFO_FAILED, status);
        if (card == nullptr)
            return status;
        const Settings& settings = card->Settings();
        const CardInfoLayout& layout = THost::CardInfo;
        std::memset(record, RecordFiller, layout.Size);
        StoreU32(record, layout.Serial, settings.Serial);
        StoreU32(record, layout.ClockCount, settings.ClockCount);
        record[layout.InfoByte] = settings.InfoByte;
        THost::StoreCardDetails(settings, record);
        return SIM_STATUS_SUCCESS;
    }

    TvxStatus ConfigureFromFile(TvxHandle handle, const char* path, uint32_t flags)
    {
        TCard* card = SessionCard(handle);
        if (card == nullptr)
            return SIM_STATUS_INVALID_HANDLE;
        if (path == nullptr)
            return SIM_STATUS_INVALID_ARGUMENT;
        card->Count(Counter::Configures);
        card->LastConfigurePath = path;
        card->LastConfigureFlags = flags;
        return card->Settings().Fails(SimFailure::Configure) ? SIM_STATUS_CONFIGURE_FAILED
                                                             : SIM_STATUS_SUCCESS;
    }

    TvxStatus SetClock(TvxHandle handle, uint32_t clock, double frequency, double* actual)
    {
        TCard* card = SessionCard(handle);
        if (card == nullptr)
            return SIM_STATUS_INVALID_HANDLE;
        if (actual == nullptr)
            return SIM_STATUS_INVALID_ARGUMENT;
        if (clock >= card->Settings().ClockCount)
            return SIM_STATUS_NO_SUCH_CLOCK;
        if (card->Settings().Fails(SimFailure::Clock))
            return SIM_STATUS_CLOCK_FAILED;
        card->Count(Counter::ClockSets);
        *actual = frequency; // the emulated synthesizer hits every frequency exactly
        return SIM_STATUS_SUCCESS;
    }

    TvxStatus Close(TvxHandle handle)
    {
        Session* session = FindSession(handle);
        if (session == nullptr)
            return SIM_STATUS_INVALID_HANDLE;
        TCard* card = Card(session->Index);
        for (void* window : session->Windows)
            RetireTrappedWindow(window);
        Sessions.erase(handle);
        card->Count(Counter::Closes);
        // The handle is gone either way; an injected failure only changes what the caller is told.
        return card->Settings().Fails(SimFailure::Close) ? SIM_STATUS_CLOSE_FAILED
                                                         : SIM_STATUS_SUCCESS;
    }

    // What the library leaves behind when it unloads: first what the generation keeps at a
    // power-down (the Gen 3 host's state file), then the counters, appended to the trace file.
    void WriteAtUnload()
    {
        static_cast<THost*>(this)->BeforePowerDown();
        if (!Configuration.TracePath.empty())
            AppendTrace(Configuration.TracePath, TraceLines());
    }

protected:
    struct Session
    {
        uint32_t Index;
        std::vector<void*> Windows; // retired when the handle is closed
    };

    // Handles start at firstHandle and are never reused within a process, so a stale handle
    // cannot reach a newer card.
    CSimulatedHost(const char* traceName, CardList cards, TvxHandle firstHandle)
        : TraceName(traceName), Configured(cards), NextHandle(firstHandle)
    {
    }
    ~CSimulatedHost() = default;

    // What a generation does around a power cycle and at unload (the Gen 3 host keeps the cards'
    // memories).
    void BeforePowerDown() {}
    void AfterPowerUp() {}

    const std::string& StatePath() const { return Configuration.StatePath; }

    std::map<uint32_t, std::unique_ptr<TCard>>& AllCards() { return Cards; }

    Session* FindSession(TvxHandle handle)
    {
        const auto found = Sessions.find(handle);
        return found == Sessions.end() ? nullptr : &found->second;
    }

    TCard* SessionCard(TvxHandle handle)
    {
        Session* session = FindSession(handle);
        return session == nullptr ? nullptr : Card(session->Index);
    }

    // The start of a call that fills a record: checks the handle and the record, counts the call
    // and applies an injected failure. Null, with the call's status, when the call ends here.
    TCard* BeginRecordCall(TvxHandle handle, const uint8_t* record, Counter counter,
                           SimFailure failure, TvxStatus failureStatus, TvxStatus& status)
    {
        TCard* card = SessionCard(handle);
        status = card == nullptr     ? SIM_STATUS_INVALID_HANDLE
                 : record == nullptr ? SIM_STATUS_INVALID_ARGUMENT
                                     : SIM_STATUS_SUCCESS;
        if (status != SIM_STATUS_SUCCESS)
            return nullptr;
        card->Count(counter);
        if (card->Settings().Fails(failure))
        {
            status = failureStatus;
            return nullptr;
        }
        return card;
    }

    // The bank a bank-information call asks for; null, with the call's status, when there is none.
    const SimBank* FindBank(TvxHandle handle, uint8_t bank, const uint8_t* record,
                            TvxStatus& status)
    {
        TCard* card = BeginRecordCall(handle, record, Counter::BankInfoReads, SimFailure::Bank,
                                      SIM_STATUS_BANK_INFO_FAILED, status);
        if (card == nullptr)
            return nullptr;
        if (bank >= card->Settings().Banks.size())
        {
            status = SIM_STATUS_NO_SUCH_BANK;
            return nullptr;
        }
        return &card->Settings().Banks[bank];
    }

private:
    void PowerUp(const SimConfiguration& configuration)
    {
        static_cast<THost*>(this)->BeforePowerDown();
        for (auto& [handle, session] : Sessions)
            for (void* window : session.Windows)
                RetireTrappedWindow(window);
        Sessions.clear();
        Configuration = configuration;
        Cards.clear();
        for (const Settings& settings : Configuration.*Configured)
            Cards[settings.Index] = std::make_unique<TCard>(settings);
        static_cast<THost*>(this)->AfterPowerUp();
    }

    std::vector<std::string> TraceLines() const
    {
        std::vector<std::string> lines;
        for (const auto& [index, card] : Cards)
        {
            const std::string prefix = TraceName + " " + std::to_string(index) + " ";
            const auto values = card->CounterValues();
            for (size_t i = 0; i < TCard::CounterCount; ++i)
                lines.push_back(prefix + TCard::CounterName(i) + " " + std::to_string(values[i]));
            lines.push_back(prefix + card->TraceLine());
        }
        return lines;
    }

    static inline THost* TheHost = nullptr;
    const std::string TraceName;
    const CardList Configured;
    TvxHandle NextHandle;
    SimConfiguration Configuration;
    std::map<uint32_t, std::unique_ptr<TCard>> Cards;
    std::map<TvxHandle, Session> Sessions;
    std::string Error;
};

// Writes what the host leaves behind (CSimulatedHost::WriteAtUnload) when the library is unloaded,
// at the latest when the process ends. The source file of each host holds one.
template <typename THost> struct CWriteAtUnload
{
    ~CWriteAtUnload()
    {
        // A thread that died holding the mutex (Windows ends the other threads before it unloads
        // libraries) must not keep the state and the trace from being written.
        std::unique_lock<std::mutex> lock(SimulationMutex(), std::try_to_lock);
        if (THost* host = THost::Existing())
            host->WriteAtUnload();
    }
};

} // namespace Corvane::Common

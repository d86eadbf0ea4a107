#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::Common
{

// What the emulated cards of both generations keep alike: their settings, the simulated FPGA
// space, the counters (TCounter names them in the order of Names), what the library calls
// recorded, and every word the host wrote to a register. Not locked itself: callers hold
// SimulationMutex.
template <typename TSettings, typename TCounter, const char* const* Names> class CEmulatedCard
{
public:
    using SettingsType = TSettings;
    using Counter = TCounter;
    static constexpr size_t CounterCount = static_cast<size_t>(TCounter::Count);
    using CounterValueArray = std::array<uint64_t, CounterCount>;

    // A register's write log keeps this many words; later writes are not recorded.
    static constexpr size_t MaximumWriteLog = 1 << 20;

    explicit CEmulatedCard(const TSettings& settings)
        : Config(settings),
          FpgaSpace(static_cast<uint8_t*>(std::calloc(settings.FpgaSpaceBytes, 1)))
    {
    }
    CEmulatedCard(const CEmulatedCard&) = delete;
    CEmulatedCard& operator=(const CEmulatedCard&) = delete;

    const TSettings& Settings() const { return Config; }

    static const char* CounterName(size_t which) { return Names[which]; }
    // The position of the counter with this name; CounterCount when there is none.
    static size_t FindCounter(const char* name)
    {
        size_t which = 0;
        while (which < CounterCount && (name == nullptr || std::strcmp(name, Names[which]) != 0))
            ++which;
        return which;
    }
    void Count(TCounter counter) { ++Counters[static_cast<size_t>(counter)]; }
    const CounterValueArray& CounterValues() const { return Counters; }
    // Counters to 0 and the write logs emptied; the last word written to each register stays.
    void ClearCounters()
    {
        Counters.fill(0);
        for (auto& [where, log] : Writes)
            log.Words.clear();
    }

    // The words the host wrote to a register of a window (or space), in order.
    const std::vector<uint32_t>& WriteLog(uint32_t window, uint32_t byteOffset) const
    {
        static const std::vector<uint32_t> none;
        const auto found = Writes.find({window, byteOffset});
        return found == Writes.end() ? none : found->second.Words;
    }

    // What the library calls recorded.
    std::string LastConfigurePath;
    uint32_t LastConfigureFlags = 0;

protected:
    ~CEmulatedCard() = default;

    void RecordWrite(uint32_t window, uint32_t byteOffset, uint32_t value)
    {
        WrittenWords& log = Writes[{window, byteOffset}];
        log.Last = value;
        if (log.Words.size() < MaximumWriteLog)
            log.Words.push_back(value);
    }
    // The last word the host wrote to a register; 0 when it was never written.
    uint32_t LastWritten(uint32_t window, uint32_t byteOffset) const
    {
        const auto found = Writes.find({window, byteOffset});
        return found == Writes.end() ? 0 : found->second.Last;
    }

    bool InFpgaSpace(uint32_t byteAddress) const
    {
        return FpgaSpace && byteAddress % 4 == 0 &&
               static_cast<uint64_t>(byteAddress) + 4 <= Config.FpgaSpaceBytes;
    }

    TSettings Config;
    struct FreeMemory
    {
        void operator()(uint8_t* memory) const { std::free(memory); }
    };
    std::unique_ptr<uint8_t, FreeMemory> FpgaSpace;
    CounterValueArray Counters{};

private:
    struct WrittenWords
    {
        uint32_t Last = 0;
        std::vector<uint32_t> Words;
    };
    std::map<std::pair<uint32_t, uint32_t>, WrittenWords> Writes; // by window and byte offset
};

} // namespace Corvane::Common

#pragma once

// What the exported functions of both stand-in libraries do alike. Each takes SimulationMutex.

#include "FaultTrap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace Corvane::Common
{

using SimulationGuard = std::lock_guard<std::mutex>;

template <typename THost> int ConfigureHost(const char* text)
{
    SimulationGuard guard(SimulationMutex());
    return text != nullptr && THost::Instance().Configure(text) ? 1 : 0;
}

template <typename THost> const char* HostError()
{
    SimulationGuard guard(SimulationMutex());
    return THost::Instance().LastError().c_str();
}

// A counter of the card at index; UINT64_MAX for a name that is not a counter.
template <typename THost> uint64_t CounterValue(uint32_t index, const char* name)
{
    SimulationGuard guard(SimulationMutex());
    using Card = typename THost::CardType;
    const size_t which = Card::FindCounter(name);
    if (which == Card::CounterCount)
        return UINT64_MAX;
    const Card* card = THost::Instance().Card(index);
    return card == nullptr ? 0 : card->CounterValues()[which];
}

template <typename THost> void ClearCardCounters(uint32_t index)
{
    SimulationGuard guard(SimulationMutex());
    if (auto* card = THost::Instance().Card(index))
        card->ClearCounters();
}

// Copies up to capacity items into buffer (which may be null); returns how many there are in all.
template <typename Item>
uint32_t CopyOut(const std::vector<Item>& items, Item* buffer, uint32_t capacity)
{
    if (buffer != nullptr)
        std::copy_n(items.begin(), std::min<size_t>(capacity, items.size()), buffer);
    return static_cast<uint32_t>(items.size());
}

// The last configuration path (up to capacity - 1 characters and a terminator) and flags of the
// card at index; returns the number of configuration calls.
template <typename THost>
uint32_t LastConfiguration(uint32_t index, char* path, uint32_t capacity, uint32_t* flags)
{
    SimulationGuard guard(SimulationMutex());
    const auto* card = THost::Instance().Card(index);
    if (card == nullptr)
        return 0;
    if (path != nullptr && capacity > 0)
    {
        const size_t length = std::min<size_t>(capacity - 1, card->LastConfigurePath.size());
        std::memcpy(path, card->LastConfigurePath.data(), length);
        path[length] = '\0';
    }
    if (flags != nullptr)
        *flags = card->LastConfigureFlags;
    using Counter = typename THost::Counter;
    return static_cast<uint32_t>(card->CounterValues()[static_cast<size_t>(Counter::Configures)]);
}

} // namespace Corvane::Common

#pragma once

#include <cstdint>

namespace Corvane::Common
{

class CTVX2Card;
class CTVX3Card;
class ITVXCard;

// Model numbers that GetCardModel returns for a card the tables do not know. Gen 2 numbers run
// from 0 to 24 and Gen 3 numbers from 26 to 49, so a number above 25 marks a usable card.
constexpr int MODEL_GEN2_UNKNOWN = 24;
constexpr int MODEL_GEN3_UNKNOWN = 26;

// Optionally handed to Open: decides whether the card is configured from a file, and which.
class IConfigSource
{
public:
    virtual bool ShouldConfigure(ITVXCard& card) = 0;
    virtual const char* GetConfigFile(ITVXCard& card) = 0;
    // Last, so that the two operations keep the first slots.
    virtual ~IConfigSource() = default;
};

// One FPGA card in the host, over the board library of its generation. Every operation reports
// by its result; a card whose library is missing answers with neutral values.
class ITVXCard
{
public:
    virtual ~ITVXCard() = default;

    virtual bool Open(uint8_t flags, IConfigSource* source) = 0;
    virtual double GetClockFrequency(uint32_t clockIndex) = 0;
    virtual bool SetClockFrequency(uint32_t clockIndex, double frequency) = 0;
    virtual volatile uint32_t* GetFpgaSpace() = 0;
    virtual const char* GetModelName() = 0;
    virtual const wchar_t* GetModelNameW() = 0;
    virtual const char* GetFpgaName() = 0;
    virtual const wchar_t* GetFpgaNameW() = 0;
    virtual uint32_t GetSerialNumber() = 0;
    virtual int GetCardModel() = 0;
    virtual uint32_t ReadFpga(uint32_t wordAddress) = 0;
    virtual void WriteFpga(uint32_t wordAddress, uint32_t value) = 0;
    virtual bool IsValid() = 0;
    virtual bool IsOpen() = 0;
    virtual uint32_t GetIndex() = 0;
    virtual void SetFpgaBits(uint32_t wordAddress, uint32_t mask) = 0;
    virtual void ClearFpgaBits(uint32_t wordAddress, uint32_t mask) = 0;
    // The checked downcasts: the card itself when it is of that class, else null.
    virtual CTVX3Card* AsGen3Card() = 0;
    virtual CTVX2Card* AsGen2Card() = 0;
    virtual uint8_t GetCardInfoByte() = 0;
    virtual uint64_t GetBankSize(uint8_t bankIndex) = 0;

protected:
    ITVXCard() = default;
    ITVXCard(const ITVXCard&) = delete;
    ITVXCard& operator=(const ITVXCard&) = delete;
};

} // namespace Corvane::Common

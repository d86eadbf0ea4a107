#include "BootLoader.h"

#include "board/BoardProfile.h"
#include "link/Mailbox.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Corvane::Common
{

namespace
{

// Pages of this size or more are addressed with three address bytes and a zero (the long form);
// smaller pages lie within 64 KiB and take two.
constexpr uint32_t LongFormPageSize = 512;

struct PageCommandLetters
{
    uint8_t ShortForm;
    uint8_t LongForm;
};
constexpr PageCommandLetters PageWrite = {'W', 'w'};
constexpr PageCommandLetters PageRead = {'R', 'r'};

const uint8_t VersionRequest[] = {'V', 'N', '?'};
constexpr size_t VersionHeaderSize = 3;
constexpr size_t VersionSize = 8;

struct PageCommand
{
    uint8_t Bytes[5];
    size_t Length;
};

PageCommand MakePageCommand(PageCommandLetters letters, uint32_t address, uint32_t pageSize)
{
    const auto byte = [address](int shift) { return static_cast<uint8_t>(address >> shift); };
    if (pageSize < LongFormPageSize)
        return {{letters.ShortForm, byte(0), byte(8)}, 3};
    return {{letters.LongForm, byte(0), byte(8), byte(16), 0}, 5};
}

// A run of byte exchanges with the boot loader. Each byte waits at most the microcontroller's
// patience; once one does not move, the rest are not attempted and the exchange says why.
class CExchange
{
public:
    CExchange& Send(const uint8_t* bytes, size_t count)
    {
        for (size_t i = 0; i < count && Stall == nullptr; ++i)
            if (!SendMailboxByte(bytes[i], MailboxChannel::BootLoader))
                Stall = "took no byte";
        return *this;
    }
    CExchange& Receive(uint8_t* bytes, size_t count)
    {
        for (size_t i = 0; i < count && Stall == nullptr; ++i)
            if (!ReceiveMailboxByte(bytes[i], MailboxChannel::BootLoader))
                Stall = "sent no byte";
        return *this;
    }
    bool Stalled() const { return Stall != nullptr; }
    const char* Why() const { return Stall; }

private:
    const char* Stall = nullptr;
};

// Every call starts from an empty mailbox, so that a byte left over from an earlier exchange is
// not taken for an answer. The drain acknowledges with the plain pattern 0x0200, without the
// boot-channel bit: the acknowledge strobe consumes the waiting byte either way.
bool StartFromEmptyMailbox()
{
    if ((DrainMailbox(MailboxChannel::Application) & MAILBOX_RX_EMPTY) != 0)
        return true;
    Print("\nThe boot loader kept sending for %u ms: its mailbox could not be emptied.\n",
          MicrocontrollerPatienceMilliseconds());
    return false;
}

uint32_t PageSize()
{
    return CurrentBoardProfile().PageSize;
}

bool RangeLiesInFlash(uint32_t address, uint32_t size)
{
    if (uint64_t{address} + size <= CurrentBoardProfile().FlashSize)
        return true;
    PrintText("\nError, Range reaches past the end of the flash");
    return false;
}

bool PageArgumentsAreSound(uint32_t size, uint32_t address)
{
    if (!FlashLayoutIsKnown())
        return false;
    if (size % PageSize() != 0)
    {
        PrintText("\nError, Size is not a multiple of the page size");
        return false;
    }
    if (address % PageSize() != 0)
    {
        PrintText("\nError, Offset is not a multiple of the page size");
        return false;
    }
    return RangeLiesInFlash(address, size);
}

uint32_t RoundUpToPage(uint32_t size)
{
    return (size + PageSize() - 1) / PageSize() * PageSize();
}

// The page loop shared by reads and writes: header, one progress line per page (shown at once),
// "Done". exchangePage(address, offset) moves the page at that flash address and buffer offset.
template <typename ExchangePage>
bool TransferPages(bool writing, uint32_t size, uint32_t address, ExchangePage exchangePage)
{
    if (!PageArgumentsAreSound(size, address) || !StartFromEmptyMailbox())
        return false;
    const uint32_t pages = size / PageSize();
    if (writing)
        Print("\n\nPerforming NVM Write to 0x%06x size 0x%06x\nWriting page:", address, size);
    else
        Print("\n\nPerforming NVM Read from 0x%06x size 0x%06x\nReading page:", address, size);
    for (uint32_t page = 1; page <= pages; ++page)
    {
        // Pages are the unit: one is never cut, and none is begun after an interruption.
        if (IsInterrupted())
        {
            Print("\nInterrupted: the flash %s stopped after page %u of %u.\n",
                  writing ? "write" : "read", page - 1, pages);
            return false;
        }
        Print(writing ? "\rWriting page: %u of %u" : "\rReading page: %u of %u", page, pages);
        const uint32_t offset = (page - 1) * PageSize();
        const CExchange exchange = exchangePage(address + offset, offset);
        if (exchange.Stalled())
        {
            Print("\nThe boot loader %s for %u ms: %s stopped at page %u of %u.\n", exchange.Why(),
                  MicrocontrollerPatienceMilliseconds(), writing ? "writing" : "reading", page,
                  pages);
            return false;
        }
    }
    PrintText("\nDone\n");
    return true;
}

// A run of neighbouring pages, by its offset and size in bytes.
struct PageSpan
{
    uint32_t Offset;
    uint32_t Size;
};

// The runs of pages in which held and intended differ, each as long as it can be: each run is
// written, and read back, in one pass of the page loop.
std::vector<PageSpan> DifferingPages(const std::vector<uint8_t>& held,
                                     const std::vector<uint8_t>& intended, uint32_t pageSize)
{
    std::vector<PageSpan> spans;
    const auto total = static_cast<uint32_t>(held.size());
    for (uint32_t offset = 0; offset < total; offset += pageSize)
    {
        if (std::equal(held.begin() + offset, held.begin() + offset + pageSize,
                       intended.begin() + offset))
            continue;
        if (!spans.empty() && spans.back().Offset + spans.back().Size == offset)
            spans.back().Size += pageSize;
        else
            spans.push_back({offset, pageSize});
    }
    return spans;
}

uint16_t LittleEndian16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace

bool FlashLayoutIsKnown()
{
    if (PageSize() != 0)
        return true;
    PrintText("\nError, this card has no board profile: its flash cannot be read or written!\n");
    return false;
}

namespace
{
uint16_t LastVersionNumbers[4] = {};
bool VersionRead = false;
} // namespace

const uint16_t* BootloaderVersionNumbers()
{
    return VersionRead ? LastVersionNumbers : nullptr;
}

bool ReadBootloaderVersion()
{
    if (!StartFromEmptyMailbox())
        return false;
    uint8_t header[VersionHeaderSize];
    uint8_t version[VersionSize];
    CExchange exchange;
    exchange.Send(VersionRequest, sizeof VersionRequest)
        .Receive(header, sizeof header)
        .Receive(version, sizeof version);
    if (exchange.Stalled())
    {
        Print("\nThe boot loader %s for %u ms: its version was not read.\n", exchange.Why(),
              MicrocontrollerPatienceMilliseconds());
        return false;
    }
    for (size_t i = 0; i < 4; ++i)
        LastVersionNumbers[i] = LittleEndian16(version + 2 * i);
    VersionRead = true;
    Print("\nBootloader Version: %u.%u.%u.%u\n", LastVersionNumbers[0], LastVersionNumbers[1],
          LastVersionNumbers[2], LastVersionNumbers[3]);
    return true;
}

bool WriteFlashPages(uint32_t size, const uint8_t* data, uint32_t address)
{
    return TransferPages(true, size, address,
                         [data](uint32_t pageAddress, uint32_t offset)
                         {
                             // The answer byte carries nothing to examine, but the next page
                             // waits for it: the boot loader is still writing until it comes.
                             const PageCommand command =
                                 MakePageCommand(PageWrite, pageAddress, PageSize());
                             uint8_t answer = 0;
                             CExchange exchange;
                             exchange.Send(command.Bytes, command.Length)
                                 .Send(data + offset, PageSize())
                                 .Receive(&answer, 1);
                             return exchange;
                         });
}

bool ReadFlashPages(uint32_t size, uint8_t* buffer, uint32_t address)
{
    return TransferPages(
        false, size, address,
        [buffer](uint32_t pageAddress, uint32_t offset)
        {
            const PageCommand command = MakePageCommand(PageRead, pageAddress, PageSize());
            CExchange exchange;
            exchange.Send(command.Bytes, command.Length).Receive(buffer + offset, PageSize());
            return exchange;
        });
}

bool ReadFlashRange(uint32_t address, uint8_t* destination, uint32_t size)
{
    if (!FlashLayoutIsKnown() || !RangeLiesInFlash(address, size))
        return false;
    const uint32_t lead = address % PageSize();
    std::vector<uint8_t> pages(RoundUpToPage(lead + size));
    if (!ReadFlashPages(static_cast<uint32_t>(pages.size()), pages.data(), address - lead))
        return false;
    std::copy_n(pages.begin() + lead, size, destination);
    return true;
}

bool WriteFlashRange(uint32_t address, const uint8_t* data, uint32_t size, FlashPages& pages)
{
    if (!FlashLayoutIsKnown() || !RangeLiesInFlash(address, size))
        return false;
    const uint32_t pageSize = PageSize();
    const uint32_t lead = address % pageSize;
    pages.Address = address - lead;
    pages.Held.assign(RoundUpToPage(lead + size), 0);
    const auto total = static_cast<uint32_t>(pages.Held.size());
    // Pages covered in part are read whole, so that the write keeps the rest of them.
    PrintText("\nReading the flash to find the pages that differ...");
    if (!ReadFlashPages(total, pages.Held.data(), pages.Address))
        return false;
    pages.Intended = pages.Held;
    std::copy_n(data, size, pages.Intended.begin() + lead);

    const std::vector<PageSpan> differing = DifferingPages(pages.Held, pages.Intended, pageSize);
    for (const PageSpan& span : differing)
    {
        if (!WriteFlashPages(span.Size, pages.Intended.data() + span.Offset,
                             pages.Address + span.Offset))
            return false;
        pages.Written += span.Size / pageSize;
    }
    pages.Unchanged = total / pageSize - pages.Written;
    if (!differing.empty())
        PrintText("\nReading back the written pages...");
    for (const PageSpan& span : differing)
        if (!ReadFlashPages(span.Size, pages.Held.data() + span.Offset,
                            pages.Address + span.Offset))
            return false;
    return true;
}

} // namespace Corvane::Common

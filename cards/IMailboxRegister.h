#pragma once

#include <cstdint>

namespace Corvane::Common
{

// The mailbox register: register 44 of window 2, in the word addressing of the card's registers.
constexpr uint32_t MAILBOX_REGISTER = 44;

// The one register through which the host and the board's microcontroller exchange bytes. The link
// and the boot-loader protocol need nothing else of a card: plain 32-bit reads and writes of it,
// serialised by the caller.
class IMailboxRegister
{
public:
    virtual uint32_t ReadMailboxRegister() = 0;
    virtual void WriteMailboxRegister(uint32_t value) = 0;

protected:
    virtual ~IMailboxRegister() = default;
};

} // namespace Corvane::Common

#include "Console.h"

#include "board/ElapsedTimeCounter.h"
#include "link/CommandFrames.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <cstdio>
#include <string>

namespace Corvane::Common
{

namespace
{

// The command word is read as into a buffer of 80 characters.
const size_t MaximumWordCharacters = 79;
// When the input ends, or "exit" comes, the firmware's replies to what was sent come in until it
// has been quiet this long, or for the microcontroller's patience at the most.
const unsigned QuietBeforeEndMilliseconds = 300;

enum class Step
{
    Continue,
    Ended,  // the run ends with 0
    Failed, // the run ends with -1
};

class CConsole
{
public:
    explicit CConsole(CConsoleInput& input) : Input(input) {}

    int Run()
    {
        std::string word;
        while (FirmwareLink().KeepRunning())
        {
            // The end of the input ends the console as "exit" does, once the replies to what was
            // sent have been printed; an interruption ends it at once, as a failed run.
            const bool read = !IsInterrupted() && Input.ReadWord(word, MaximumWordCharacters);
            if (IsInterrupted())
                return Interrupted();
            if (!read)
            {
                HearTheFirmwareOut();
                return 0;
            }
            const Step step = Perform(word);
            if (step != Step::Continue)
                return step == Step::Failed ? -1 : 0;
        }
        return 0;
    }

private:
    Step Perform(const std::string& word)
    {
        if (word == "IR")
            return I2cRead();
        if (word == "XX")
        {
            ProgramElapsedTimeCounter(); // the console goes on whatever came of it
            return Step::Continue;
        }
        if (word == "exit")
        {
            // A script that ends with "exit" gets the replies to what it sent, as one that just
            // ends does; typed once they have come, it ends at once.
            HearTheFirmwareOut();
            return Step::Ended;
        }
        if (word == "IW")
            return I2cWrite();
        if (word == "GF")
            return GetFrequency();
        if (word == "SF")
            return SetFrequency();
        return Send(CommandFrame(word.begin(), word.end()));
    }

    Step I2cRead()
    {
        uint32_t chip = 0, reg = 0, count = 0;
        if (!AskHex("\nEnter Chip Address: 0x", chip) || !AskHex("\nEnter Reg Address: 0x", reg) ||
            !AskHex("\nEnter Bytes to Read: 0x", count))
            return InputEnded();
        Print("\nSending I2C Read: 0x%02x:0x%02x %u bytes...\n", chip, reg, count);
        return Send(I2cReadFrame(chip, reg, count));
    }

    Step I2cWrite()
    {
        uint32_t chip = 0, reg = 0, count = 0;
        if (!AskHex("\nEnter Chip Address: 0x", chip) || !AskHex("\nEnter Reg Address: 0x", reg) ||
            !AskHex("\nEnter Byte Count to Write: 0x", count))
            return InputEnded();
        if (count > I2C_FRAME_DATA_BYTES)
        {
            // The frame has room for eight data bytes: more would be cut off unseen.
            Print("\nAt most %u bytes can be written with one I2C write; nothing was sent.\n",
                  I2C_FRAME_DATA_BYTES);
            return Step::Continue;
        }
        uint8_t data[I2C_FRAME_DATA_BYTES] = {};
        for (uint32_t n = 0; n < count; ++n)
        {
            char prompt[32];
            std::snprintf(prompt, sizeof prompt, "\nEnter byte %u: 0x", n);
            uint32_t value = 0;
            if (!AskHex(prompt, value))
                return InputEnded();
            data[n] = static_cast<uint8_t>(value);
        }
        Print("\nSending I2C Write: 0x%02x:0x%02x %u bytes...\n", chip, reg, count);
        return Send(I2cWriteFrame(chip, reg, count, data));
    }

    Step GetFrequency()
    {
        uint32_t index = 0;
        if (!AskDecimal("\nEnter multisynth index: ", index))
            return InputEnded();
        return Send(GetFrequencyFrame(index));
    }

    Step SetFrequency()
    {
        uint32_t index = 0, hertz = 0;
        if (!AskDecimal("\nEnter multisynth index: ", index) ||
            !AskDecimal("\nEnter requested frequency (Hz): ", hertz))
            return InputEnded();
        return Send(SetFrequencyFrame(index, hertz));
    }

    // A value prompt: what is still waiting on the line is thrown away, and the prompt comes
    // again until a number is typed. False when the input ends first.
    bool Ask(const char* prompt, bool hexadecimal, uint32_t& value)
    {
        while (!IsInterrupted())
        {
            PrintText(prompt);
            Input.DiscardLine();
            switch (Input.ReadValue(hexadecimal, value))
            {
            case CConsoleInput::ValueResult::Read:
                return true;
            case CConsoleInput::ValueResult::Ended:
                return false;
            case CConsoleInput::ValueResult::NotANumber:
                break;
            }
        }
        return false;
    }
    bool AskHex(const char* prompt, uint32_t& value) { return Ask(prompt, true, value); }
    bool AskDecimal(const char* prompt, uint32_t& value) { return Ask(prompt, false, value); }

    static int Interrupted()
    {
        PrintText("\nInterrupted: the console ended; nothing was being sent.\n");
        return -1;
    }

    Step InputEnded()
    {
        if (IsInterrupted())
        {
            PrintText("\nInterrupted: the command was not sent.\n");
            return Step::Failed;
        }
        HearTheFirmwareOut();
        PrintText("\nStandard input ended before the command was complete; it was not sent.\n");
        return Step::Failed;
    }

    // A script's requests are answered after its input has ended: the run waits for them.
    static void HearTheFirmwareOut()
    {
        FirmwareLink().StopReceiverWhenQuiet(QuietBeforeEndMilliseconds,
                                             MicrocontrollerPatienceMilliseconds());
    }

    Step Send(const CommandFrame& frame)
    {
        return SendFrame(frame) ? Step::Continue : Step::Failed;
    }

    CConsoleInput& Input;
};

} // namespace

int RunConsole(CConsoleInput& input)
{
    return CConsole(input).Run();
}

} // namespace Corvane::Common

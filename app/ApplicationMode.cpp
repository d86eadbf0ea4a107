#include "ApplicationMode.h"

#include "ApplicationOptions.h"
#include "Console.h"
#include "I2cCommands.h"
#include "RunReport.h"
#include "StatusCommand.h"
#include "board/BoardProfile.h"
#include "board/ElapsedTimeCounter.h"
#include "board/StatusRecord.h"
#include "link/CommandFrames.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Files.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace Corvane::Common
{

namespace
{

// "/blow_etc" gives the elapsed-time counter this long to settle before and after.
const unsigned SettleMilliseconds = 1000;
// "/v" ends with the version, or after this long without it.
const unsigned VersionWaitMilliseconds = 1000;

void PrintCurrentStatusRecord(const uint8_t* record, bool withClockStatus, std::FILE* output)
{
    PrintStatusRecord(record, withClockStatus, output);
}

// Sends the blocks of 16 bytes; the firmware echoes each byte before it takes the next. Runs
// before the receiver thread exists, so the bytes come back here.
int RunLoopBackTest(uint32_t size)
{
    uint32_t checked = 0;
    uint32_t errors = 0;
    PrintText("\n\n");
    PrintText("Checked: 0");
    const uint32_t blocks = size / LOOP_BACK_BLOCK_BYTES;
    for (uint32_t block = 0; block < blocks; ++block)
    {
        if (IsInterrupted())
        {
            Print("\nInterrupted: the loop-back test stopped after block %u of %u.\n", block,
                  blocks);
            Print("\n%d of %d bytes contained errors.\n", static_cast<int>(errors),
                  static_cast<int>(checked));
            return -1;
        }
        if (!SendFrame(LoopBackRequestFrame()))
            return -1;
        DrainMailbox();
        for (uint8_t sent = 0; sent < LOOP_BACK_BLOCK_BYTES; ++sent)
        {
            uint8_t echo = 0;
            if (!SendMailboxByte(sent))
            {
                ReportMicrocontrollerNotTaking();
                return -1;
            }
            if (!ReceiveMailboxByte(echo))
            {
                Print("\nNo echo of byte 0x%02x came back within %u ms.\n", sent,
                      MicrocontrollerPatienceMilliseconds());
                return -1;
            }
            ++checked;
            if (echo == sent)
                Print("\rChecked: %d", static_cast<int>(checked));
            else
            {
                Print("\nData error, got 0x%02x, expected 0x%02x\n", echo, sent);
                ++errors;
            }
        }
    }
    PrintText("\n");
    Print("\n%d of %d bytes contained errors.\n", static_cast<int>(errors),
          static_cast<int>(checked));
    return errors == 0 ? 0 : -1; // finding wrong bytes is what the test is for
}

// Waits for the answer to the last request at most the given time; false when it did not come or
// an interruption did.
bool AwaitUnlessInterrupted(unsigned milliseconds)
{
    const unsigned slice = 10;
    for (unsigned waited = 0; waited < milliseconds; waited += slice)
    {
        if (FirmwareLink().AwaitAnswer(std::min(slice, milliseconds - waited)))
            return true;
        if (IsInterrupted())
            return false;
    }
    return false;
}

int ReadVersion()
{
    if (!FirmwareLink().Request(VersionRequestFrame(), ReplyOf(ReplyKind::VN)))
        return -1;
    if (AwaitUnlessInterrupted(VersionWaitMilliseconds))
    {
        RunReport()["version"] =
            VersionDocument(VersionNumbers(FirmwareLink().AnswerPayload().data()).data());
        return 0;
    }
    if (IsInterrupted())
        PrintText("\nInterrupted while waiting for the firmware's version.\n");
    else
        PrintText("\nThe firmware sent no version.\n"); // else a silent firmware would pass
    return -1;
}

int RequestSelfReconfigure()
{
    PrintText("\nSending self-reconfigure command.\n");
    if (!FirmwareLink().Request(SelfReconfigureFrame(), FirstByte))
        return -1;
    PrintText("\nCommand sent waiting for response.\n");
    if (!AwaitUnlessInterrupted(MicrocontrollerPatienceMilliseconds()))
    {
        if (IsInterrupted())
            PrintText("\nInterrupted while waiting for the answer to the self-reconfigure "
                      "command.\n");
        else
            Print("\nNo response from uCPU within %u ms.\n", MicrocontrollerPatienceMilliseconds());
        return -1;
    }
    switch (FirmwareLink().ReplyChar())
    {
    case 'X':
        PrintText("\nCommand refused.\n");
        return -1;
    case '!':
        PrintText("\nCommand accepted. FPGA re-programming with start in 5 seconds!\n");
        return 0;
    default:
        PrintText("\nUnexpected reply from uCPU.\n");
        return -1;
    }
}

// Once begun, the programming runs to its end: a counter stamped but not protected would be
// worse than either.
int ProgramCounterOnce()
{
    if (!PauseUnlessInterrupted(SettleMilliseconds))
    {
        PrintText("\nInterrupted before the elapsed-time counter was touched.\n");
        return -1;
    }
    const bool programmed = ProgramElapsedTimeCounter();
    if (!PauseUnlessInterrupted(SettleMilliseconds))
    {
        PrintText(programmed ? "\nInterrupted after the elapsed-time counter was programmed.\n"
                             : "\nInterrupted.\n");
        return -1;
    }
    return programmed ? 0 : -1;
}

bool ReadsI2cToFile(const ApplicationOptions& options)
{
    return options.I2cRead && options.OutputFileName && options.Size != 0;
}

// The first one-shot command that applies; none when the console is to run.
std::optional<int> RunOneShot(const ApplicationOptions& options)
{
    if (ReadsI2cToFile(options))
        return RunI2cReadToFile(*options.OutputFileName, options.ChipAddress, options.Size,
                                options.Address);
    if (options.I2cWrite && options.InputFileName)
        return RunI2cWriteFromFile(*options.InputFileName, options.ChipAddress, options.Address);
    if (options.I2cVerify && options.InputFileName)
        return VerifyI2cAgainstFile(*options.InputFileName, options.ChipAddress, options.Address);
    if (options.ReadStatus)
        return ReadStatusOnce();
    if (options.ReadVersion)
        return ReadVersion();
    if (options.ProgramElapsedTimeCounter)
        return ProgramCounterOnce();
    if (options.SelfReconfigure)
        return RequestSelfReconfigure();
    if (options.BusGiven)
        return 0; // a bus selected, nothing more asked
    return std::nullopt;
}

} // namespace

int RunApplicationCommands(int argc, const char* const* argv)
{
    const SecondPassResult secondPass = RunSecondPass(argc, argv);
    if (secondPass.ExitCode)
        return *secondPass.ExitCode;
    const ApplicationOptions& options = secondPass.Options;
    if (IsInterrupted())
    {
        PrintText("\nInterrupted before anything was sent to the microcontroller.\n");
        return -1;
    }
    if (options.LoopBack)
        return RunLoopBackTest(options.Size);
    if (ReadsI2cToFile(options) && !IsUsableOutputName(*options.OutputFileName))
        return -1; // before the bus is selected

    const StatusDecoding decoding{CurrentBoardProfile().ExtendedStatus, &PrintCurrentStatusRecord};
    if (!FirmwareLink().StartReceiver(decoding))
    {
        PrintText("\nThe receiver thread could not be started.\n");
        return -1;
    }
    if (options.BusGiven && !SendFrame(BusSelectFrame(options.Bus)))
        return -1;
    if (const std::optional<int> ended = RunOneShot(options))
        return *ended;
    CConsoleInput input;
    return RunConsole(input);
}

} // namespace Corvane::Common

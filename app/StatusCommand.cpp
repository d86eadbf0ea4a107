#include "StatusCommand.h"

#include "RunReport.h"
#include "board/BoardProfile.h"
#include "board/StatusRecord.h"
#include "link/CommandFrames.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

namespace Corvane::Common
{

namespace
{

enum class StatusOutcome
{
    Printed,
    Dropped, // the receiver has said so
    NoneCame,
    Interrupted,
};

// The one wait for the status record: it ends on the record, on its drop, or after the
// microcontroller's patience; the receiver drops a record that stops coming for that long, so a
// record begun is given twice the time (and a margin for a receiver the system holds up).
StatusOutcome AwaitStatusRecord()
{
    const unsigned slice = 10;
    const unsigned bound = 2 * MicrocontrollerPatienceMilliseconds() + 1000;
    for (unsigned waited = 0; waited < bound; waited += slice)
    {
        if (FirmwareLink().AwaitAnswer(slice))
            return StatusOutcome::Printed;
        if (FirmwareLink().AnswerWasDropped())
            return StatusOutcome::Dropped;
        if (IsInterrupted())
            return StatusOutcome::Interrupted;
        if (waited >= MicrocontrollerPatienceMilliseconds() && !FirmwareLink().AnswerHasBegun())
            break;
    }
    return StatusOutcome::NoneCame;
}

nlohmann::ordered_json StatusDocument(const StatusValues& values, const char* request)
{
    nlohmann::ordered_json status;
    status["request"] = request;
    if (values.ElapsedTimeName)
        status["elapsed_time"] = {{"name", values.ElapsedTimeName},
                                  {"seconds", values.ElapsedQuarterSeconds / 4.0}};
    if (values.EventCounterName)
        status["event_count"] = {{"name", values.EventCounterName}, {"value", values.EventCount}};
    status["readings"] = nlohmann::ordered_json::array();
    for (const StatusValues::Reading& reading : values.Readings)
        status["readings"].push_back(
            {{"name", reading.Name}, {"value", reading.Value}, {"unit", reading.Unit}});
    status["flags"] = nlohmann::ordered_json::array();
    for (const StatusValues::Flag& flag : values.Flags)
        status["flags"].push_back({{"name", flag.Name}, {"value", flag.Set}});
    if (values.ClockStatus)
        status["clock_status"] = {{"name", values.ClockStatus->Name},
                                  {"ok", values.ClockStatus->Error == 0},
                                  {"error", values.ClockStatus->Error},
                                  {"type", values.ClockStatus->Type}};
    return status;
}

} // namespace

int ReadStatusOnce()
{
    const BoardProfile& profile = CurrentBoardProfile();
    if (profile.AnalogChannels == nullptr)
    {
        PrintText("\nThis card has no board profile: its status record cannot be read.\n");
        return -1;
    }
    const bool extended = profile.ExtendedStatus;
    const char* request = extended ? "SX?" : "ST?";
    if (!FirmwareLink().Request(StatusRequestFrame(extended),
                                ReplyOf(extended ? ReplyKind::SX : ReplyKind::ST)))
        return -1;
    switch (AwaitStatusRecord())
    {
    case StatusOutcome::Printed:
        RunReport()["status"] = StatusDocument(
            DecodeStatusRecord(profile, FirmwareLink().AnswerPayload().data(), extended), request);
        return 0;
    case StatusOutcome::Dropped:
        return -1;
    case StatusOutcome::Interrupted:
        Print("\nInterrupted while waiting for the answer to %s.\n", request);
        return -1;
    case StatusOutcome::NoneCame:
        break;
    }
    Print("\nNo status record came within %u ms of %s.\n", MicrocontrollerPatienceMilliseconds(),
          request);
    return -1;
}

} // namespace Corvane::Common

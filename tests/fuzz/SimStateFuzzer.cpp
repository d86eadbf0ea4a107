// The stand-in's state file, which keeps what a card keeps while its power stays on, fed arbitrary
// text. A state it accepts must come back unchanged once written and read again, or a run would
// lose or alter what the one before it left; one it refuses gives one line naming the line.
#include "FuzzTarget.h"

#include "sim/BoardMemory.h"

#include <string>

using namespace Corvane::Common;
using MistleFuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<uint32_t, BoardMemory> memories;
    std::string error;
    if (!ParseBoardMemories(text, memories, error))
    {
        Require(error.compare(0, 5, "line ") == 0 && error.find('\n') == std::string::npos,
                "an error is one line naming the line");
        Require(memories.empty(), "a refused state leaves nothing behind");
        return 0;
    }
    for (const auto& [index, memory] : memories)
        Require(index <= 14 && memory.Flash.size() <= 16 * 1024 * 1024,
                "a state holds cards 0-14 with at most 16 MiB of flash");

    const std::string written = FormatBoardMemories(memories);
    std::map<uint32_t, BoardMemory> readBack;
    Require(ParseBoardMemories(written, readBack, error), "the stand-in reads what it wrote");
    Require(FormatBoardMemories(readBack) == written, "a state survives being written and read");
    return 0;
}

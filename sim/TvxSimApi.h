#pragma once

// Inspection functions of the stand-in board libraries, for tests. They are exported next to the
// board-library functions; tests find them by name in the loaded library, with these types.
// Every function is safe to call from any thread. Unknown card indices read as 0 (counters,
// registers) and are ignored by the setters. Details in sim/README.md.

#include <cstdint>

#ifdef __cplusplus
extern "C"
{
#endif

    // ---- both libraries ----

    // Replaces this library's simulated host with the configuration text (format of the file named
    // by TVXSIM_CONFIG). Every card is powered up afresh; handles and windows from before become
    // invalid. Returns 1, or 0 with nothing changed when the text does not parse (see
    // TvxSim_LastError).
    typedef int TvxSim_Configure_t(const char* text);
    // The line that describes the last configuration error of this library; "" when there was none.
    typedef const char* TvxSim_LastError_t(void);

    // ---- Gen 3 library ----

    // A counter of the card at this library index (names in sim/README.md); UINT64_MAX for a name
    // that is not a counter, so that a misspelt name fails a test instead of reading 0.
    typedef uint64_t TvxSim3_Count_t(uint32_t index, const char* counter);
    // Sets every counter of the card to 0 and forgets the bytes its microcontroller received and
    // the write logs (TvxSim3_WriteLog).
    typedef void TvxSim3_ClearCounters_t(uint32_t index);
    // The word a read of window 0, 2 or 3 at byteOffset would return now, without its side effects
    // (nothing counted, no countdown advanced). Window 0 shows the FPGA space at the current page.
    typedef uint32_t TvxSim3_Peek_t(uint32_t index, uint32_t window, uint32_t byteOffset);
    // Sets the stored word without side effects (the page register takes any page; the mailbox
    // takes only its upper 16 bits, its low half belongs to the microcontroller).
    typedef void TvxSim3_Poke_t(uint32_t index, uint32_t window, uint32_t byteOffset,
                                uint32_t value);
    // The last word the host wrote to that register (0 when never written). Window 0: what the page
    // view shows now.
    typedef uint32_t TvxSim3_LastWrite_t(uint32_t index, uint32_t window, uint32_t byteOffset);
    // Copies up to capacity of the words the host wrote to that register of window 2 or 3, in
    // order (since power-up or TvxSim3_ClearCounters; the first 2^20 are kept); returns how many
    // the log holds. Window 0 has no log.
    typedef uint32_t TvxSim3_WriteLog_t(uint32_t index, uint32_t window, uint32_t byteOffset,
                                        uint32_t* values, uint32_t capacity);
    // The simulated FPGA space by byte address (4-byte aligned); 0xFFFFFFFF beyond its end.
    typedef uint32_t TvxSim3_PeekFpga_t(uint32_t index, uint32_t byteAddress);
    typedef void TvxSim3_PokeFpga_t(uint32_t index, uint32_t byteAddress, uint32_t value);
    // Copies up to capacity of the bytes the microcontroller received from the host, in order;
    // returns how many it received in all.
    typedef uint32_t TvxSim3_McuReceived_t(uint32_t index, uint8_t* buffer, uint32_t capacity);
    // The path of the last TORVEX3_ConfigureFromFileA (up to capacity - 1 characters and a
    // terminator) and its flags; returns the number of configuration calls.
    typedef uint32_t TvxSim3_LastConfigure_t(uint32_t index, char* path, uint32_t capacity,
                                             uint32_t* flags);

    // ---- Gen 2 library ----

    typedef uint64_t TvxSim2_Count_t(uint32_t index, const char* counter);
    // Copies up to capacity of the words written to the control command register (byte 0x400 of
    // space 1), in order; returns how many were written in all.
    typedef uint32_t TvxSim2_ControlWords_t(uint32_t index, uint32_t* buffer, uint32_t capacity);
    // A word of space 0 (FPGA) or space 1 (control) by byte offset, without side effects.
    typedef uint32_t TvxSim2_Peek_t(uint32_t index, uint32_t space, uint32_t byteOffset);
    typedef void TvxSim2_Poke_t(uint32_t index, uint32_t space, uint32_t byteOffset,
                                uint32_t value);
    // The last configuration word given to TORVEX2_SetSpaceConfig for the space; 0 before.
    typedef uint32_t TvxSim2_SpaceConfig_t(uint32_t index, uint32_t space);

#ifdef __cplusplus
}
#endif

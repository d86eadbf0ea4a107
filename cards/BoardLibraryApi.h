#pragma once

// Our declaration of the two board libraries' C interfaces: the functions the card classes call,
// with records passed as byte buffers of the sizes below. Fields the card classes rely on are named
// by their byte offsets; the rest of each record belongs to the library.
//
// The same declaration is shared by the card classes (which resolve every function from the loaded
// module at run time) and by the stand-in libraries that simulate cards on machines without them.

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t TvxStatus; // 0 = success
typedef uint32_t TvxHandle; // 0 = no card

// ---- Gen 3 library ("torvex3") ----

enum
{
    TVX3_CARD_INFO_SIZE = 40,
    TVX3_CARD_INFO_SERIAL = 0,      // u32
    TVX3_CARD_INFO_MODEL_CODE = 8,  // u32
    TVX3_CARD_INFO_CLOCK_COUNT = 12, // u32
    TVX3_CARD_INFO_BYTE = 24,        // u8

    TVX3_FPGA_INFO_A_SIZE = 48 + 512,
    TVX3_FPGA_INFO_A_NAME = 48, // narrow text, terminated
    TVX3_FPGA_INFO_W_SIZE = 80 + 512 * 4,
    TVX3_FPGA_INFO_W_NAME = 80, // wide text (wchar_t), terminated

    TVX3_BANK_INFO_SIZE = 48,
    TVX3_BANK_INFO_DEPTH = 16,  // u64
    TVX3_BANK_INFO_WIDTH = 24,  // u16, bits
    TVX3_BANK_INFO_FITTED = 40, // u32
};

typedef TvxStatus TORVEX3_OpenEx_t(uint32_t index, uint32_t inspectOnly, uint32_t reserved,
                                   TvxHandle* handle);
typedef TvxStatus TORVEX3_GetCardInfo_t(TvxHandle handle, uint8_t* record);
typedef TvxStatus TORVEX3_ConfigureFromFileA_t(TvxHandle handle, uint32_t reserved, uint32_t flags,
                                               const char* path);
typedef TvxStatus TORVEX3_MapWindow_t(TvxHandle handle, uint32_t window, uint64_t offset,
                                      uint64_t length, void** pointer);
typedef TvxStatus TORVEX3_SetClockFrequency_t(TvxHandle handle, uint32_t clock, uint32_t reserved,
                                              double frequency, double* actual);
typedef TvxStatus TORVEX3_GetFpgaInfoA_t(TvxHandle handle, uint32_t reserved, uint8_t* record);
typedef TvxStatus TORVEX3_GetFpgaInfoW_t(TvxHandle handle, uint32_t reserved, uint8_t* record);
typedef TvxStatus TORVEX3_GetBankInfo_t(TvxHandle handle, uint8_t bank, uint8_t* record);
typedef TvxStatus TORVEX3_UnmapWindow_t(TvxHandle handle, void* pointer);
typedef TvxStatus TORVEX3_Close_t(TvxHandle handle);
typedef const char* TORVEX3_GetStatusStringA_t(TvxStatus status, uint32_t reserved);

// ---- Gen 2 library ("torvex") ----

enum
{
    TVX2_CARD_INFO_SIZE = 40,
    TVX2_CARD_INFO_SERIAL = 4,       // u32
    TVX2_CARD_INFO_CARD_TYPE = 8,    // u32
    TVX2_CARD_INFO_FPGA_TYPE = 12,   // u32
    TVX2_CARD_INFO_CLOCK_COUNT = 16, // u32
    TVX2_CARD_INFO_BYTE = 24,        // u8

    TVX2_SPACE_INFO_SIZE = 20,
    TVX2_SPACE_INFO_POINTER = 0, // host pointer to the space

    TVX2_SPACE_FPGA = 0,
    TVX2_SPACE_CONTROL = 1,

    TVX2_BANK_INFO_SIZE = 16,
    TVX2_BANK_INFO_FACTOR_A = 4, // u32
    TVX2_BANK_INFO_FACTOR_B = 8, // u32
    TVX2_BANK_INFO_FITTED = 12,  // u8
};

typedef TvxStatus TORVEX2_OpenCardByIndex_t(uint32_t index, TvxHandle* handle);
typedef TvxStatus TORVEX2_GetCardInfo_t(TvxHandle handle, uint8_t* record);
typedef TvxStatus TORVEX2_GetSpaceInfo_t(TvxHandle handle, uint32_t space, uint8_t* record);
typedef TvxStatus TORVEX2_SetSpaceConfig_t(TvxHandle handle, uint32_t space, uint32_t config);
typedef TvxStatus TORVEX2_ConfigureFromFile_t(TvxHandle handle, const char* path);
typedef TvxStatus TORVEX2_SetClockRate_t(TvxHandle handle, uint32_t clock, double frequency,
                                         double* actual);
typedef TvxStatus TORVEX2_GetBankInfo_t(TvxHandle handle, uint8_t bank, uint8_t* record);
typedef TvxStatus TORVEX2_CloseCard_t(TvxHandle handle);
typedef const char* TORVEX2_GetStatusString_t(TvxStatus status);

#ifdef __cplusplus
}
#endif

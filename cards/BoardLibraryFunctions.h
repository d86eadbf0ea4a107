#pragma once

// The functions of the two board libraries as the card classes call them, resolved from the loaded
// modules. Internal to the card layer.

#include "cards/BoardLibraryApi.h"

namespace Corvane::Common
{

struct CGen3Library
{
    TORVEX3_OpenEx_t* OpenEx;
    TORVEX3_GetCardInfo_t* GetCardInfo;
    TORVEX3_ConfigureFromFileA_t* ConfigureFromFileA;
    TORVEX3_MapWindow_t* MapWindow;
    TORVEX3_SetClockFrequency_t* SetClockFrequency;
    TORVEX3_GetFpgaInfoA_t* GetFpgaInfoA;
    TORVEX3_GetFpgaInfoW_t* GetFpgaInfoW;
    TORVEX3_GetBankInfo_t* GetBankInfo;
    TORVEX3_UnmapWindow_t* UnmapWindow;
    TORVEX3_Close_t* Close;
    TORVEX3_GetStatusStringA_t* GetStatusStringA;
};

struct CGen2Library
{
    TORVEX2_OpenCardByIndex_t* OpenCardByIndex;
    TORVEX2_GetCardInfo_t* GetCardInfo;
    TORVEX2_GetSpaceInfo_t* GetSpaceInfo;
    TORVEX2_SetSpaceConfig_t* SetSpaceConfig;
    TORVEX2_ConfigureFromFile_t* ConfigureFromFile;
    TORVEX2_SetClockRate_t* SetClockRate;
    TORVEX2_GetBankInfo_t* GetBankInfo;
    TORVEX2_CloseCard_t* CloseCard;
    TORVEX2_GetStatusString_t* GetStatusString;
};

// Called by every construction of a card of that generation: loads the library the first time it
// is found, sets Gen3LibraryMissing / Gen2LibraryMissing, and returns the functions or null.
const CGen3Library* AcquireGen3Library();
const CGen2Library* AcquireGen2Library();

// Turns a failing status into the library's text and hands it to CardTrace. Returns whether the
// status is success, so that a call reads: if (!Succeeded(library, library.Close(handle))) ...
bool Succeeded(const CGen3Library& library, TvxStatus status);
bool Succeeded(const CGen2Library& library, TvxStatus status);

} // namespace Corvane::Common

#pragma once

// The name and model-number tables behind the card classes. Internal to the card layer, and
// visible to the tests.

#include <cstdint>

namespace Corvane::Common
{

// Model number of a Gen 3 library model code; MODEL_GEN3_UNKNOWN for a code not in the table.
int Gen3ModelNumber(uint32_t modelCode);
// Model number of a Gen 2 card type; MODEL_GEN2_UNKNOWN beyond the known types.
int Gen2ModelNumber(uint32_t cardType);

// Model names by Gen 3 model code and by Gen 2 card type; "unknown" without an entry.
const char* Gen3ModelName(uint32_t modelCode);
const wchar_t* Gen3ModelNameW(uint32_t modelCode);
const char* Gen2ModelName(uint32_t cardType);
const wchar_t* Gen2ModelNameW(uint32_t cardType);

// FPGA device name by Gen 2 FPGA type code; "unknown" without an entry.
const char* Gen2FpgaName(uint32_t fpgaType);
const wchar_t* Gen2FpgaNameW(uint32_t fpgaType);

} // namespace Corvane::Common

#include "cards/CardNames.h"

#include "cards/ITVXCard.h"

#include <cstddef>

namespace Corvane::Common
{

namespace
{

struct CNamedCode
{
    uint32_t Code;
    const char* Name;
    const wchar_t* NameW;
};

struct CNumberedCode
{
    uint32_t Code;
    int Model;
};

const char* const UnknownName = "unknown";
const wchar_t* const UnknownNameW = L"unknown";

// Model names by Gen 3 library model code. 0x107 and 0x108 share a name, and the codes 0x101xx
// take the name of the code with the same low byte.
const CNamedCode Gen3ModelNames[] = {
    {0x101, "vexa1", L"vexa1"},   {0x102, "vexa2", L"vexa2"},   {0x103, "vexa3", L"vexa3"},
    {0x104, "vexa4", L"vexa4"},   {0x105, "vexa5", L"vexa5"},   {0x106, "vexa6", L"vexa6"},
    {0x107, "vexa7", L"vexa7"},   {0x108, "vexa7", L"vexa7"},   {0x109, "vexa8", L"vexa8"},
    {0x10A, "vexa9", L"vexa9"},   {0x10B, "vexa10", L"vexa10"}, {0x10C, "vexa11", L"vexa11"},
    {0x10D, "vexa12", L"vexa12"}, {0x10E, "vexa13", L"vexa13"}, {0x10F, "vexa14", L"vexa14"},
    {0x110, "vexa15", L"vexa15"}, {0x10102, "vexa2", L"vexa2"}, {0x10105, "vexa5", L"vexa5"},
    {0x10106, "vexa6", L"vexa6"}, {0x1010A, "vexa9", L"vexa9"},
};

// 46 is never given out, and 0x4 and 0x100 have a number but no name.
const CNumberedCode Gen3ModelNumbers[] = {
    {0x4, 27},     {0x100, 28},   {0x101, 29},   {0x102, 30},   {0x103, 31}, {0x104, 32},
    {0x105, 33},   {0x106, 34},   {0x107, 35},   {0x108, 36},   {0x109, 37}, {0x10A, 38},
    {0x10B, 39},   {0x10C, 40},   {0x10D, 45},   {0x10E, 47},   {0x10F, 48}, {0x110, 49},
    {0x10102, 41}, {0x10105, 43}, {0x10106, 44}, {0x1010A, 42},
};

// Gen 2 card types 0-23.
const CNamedCode Gen2ModelNames[] = {
    {0, "tvx2a", L"tvx2a"},  {1, "tvx2b", L"tvx2b"},  {2, "tvx2c", L"tvx2c"},
    {3, "tvx2d", L"tvx2d"},  {4, "tvx2e", L"tvx2e"},  {5, "tvx2f", L"tvx2f"},
    {6, "tvx2g", L"tvx2g"},  {7, "tvx2h", L"tvx2h"},  {8, "tvx2i", L"tvx2i"},
    {9, "tvx2j", L"tvx2j"},  {10, "tvx2k", L"tvx2k"}, {11, "tvx2l", L"tvx2l"},
    {12, "tvx2m", L"tvx2m"}, {13, "tvx2n", L"tvx2n"}, {14, "tvx2o", L"tvx2o"},
    {15, "tvx2p", L"tvx2p"}, {16, "tvx2q", L"tvx2q"}, {17, "tvx2r", L"tvx2r"},
    {18, "tvx2s", L"tvx2s"}, {19, "tvx2t", L"tvx2t"}, {20, "tvx2u", L"tvx2u"},
    {21, "tvx2v", L"tvx2v"}, {22, "tvx2w", L"tvx2w"}, {23, "tvx2x", L"tvx2x"},
};

// Types 0-21 keep their number; 22 was never given out as a model number.
const CNumberedCode Gen2ModelNumberExceptions[] = {
    {22, 23},
    {23, 24},
};
constexpr uint32_t LastGen2TypeWithOwnNumber = 21;

// FPGA devices by the Gen 2 library's type code. The codes follow the library's numbering, which
// is not in size order within a family.
const CNamedCode Gen2FpgaNames[] = {
    {4, "v1000", L"v1000"},         {5, "v400", L"v400"},           {6, "v600", L"v600"},
    {7, "v800", L"v800"},           {8, "v2000e", L"v2000e"},       {9, "v1000e", L"v1000e"},
    {10, "v1600e", L"v1600e"},      {11, "v3200e", L"v3200e"},      {12, "v812e", L"v812e"},
    {13, "v405e", L"v405e"},        {32, "2v1000", L"2v1000"},      {33, "2v1500", L"2v1500"},
    {34, "2v2000", L"2v2000"},      {35, "2v3000", L"2v3000"},      {36, "2v4000", L"2v4000"},
    {37, "2v6000", L"2v6000"},      {38, "2v8000", L"2v8000"},      {39, "2v10000", L"2v10000"},
    {64, "2vp2", L"2vp2"},          {65, "2vp4", L"2vp4"},          {66, "2vp7", L"2vp7"},
    {67, "2vp20", L"2vp20"},        {68, "2vp30", L"2vp30"},        {69, "2vp40", L"2vp40"},
    {70, "2vp50", L"2vp50"},        {71, "2vp100", L"2vp100"},      {72, "2vp125", L"2vp125"},
    {73, "2vp70", L"2vp70"},        {96, "4vlx15", L"4vlx15"},      {97, "4vlx25", L"4vlx25"},
    {98, "4vlx40", L"4vlx40"},      {99, "4vlx60", L"4vlx60"},      {100, "4vlx100", L"4vlx100"},
    {101, "4vlx160", L"4vlx160"},   {102, "4vlx200", L"4vlx200"},   {103, "4vlx80", L"4vlx80"},
    {104, "4vsx25", L"4vsx25"},     {105, "4vsx35", L"4vsx35"},     {106, "4vsx55", L"4vsx55"},
    {112, "4vfx12", L"4vfx12"},     {113, "4vfx20", L"4vfx20"},     {114, "4vfx40", L"4vfx40"},
    {115, "4vfx60", L"4vfx60"},     {116, "4vfx100", L"4vfx100"},   {117, "4vfx140", L"4vfx140"},
    {128, "5vlx30", L"5vlx30"},     {129, "5vlx50", L"5vlx50"},     {130, "5vlx85", L"5vlx85"},
    {131, "5vlx110", L"5vlx110"},   {132, "5vlx220", L"5vlx220"},   {133, "5vlx330", L"5vlx330"},
    {136, "5vlx30t", L"5vlx30t"},   {137, "5vlx50t", L"5vlx50t"},   {138, "5vlx85t", L"5vlx85t"},
    {139, "5vlx110t", L"5vlx110t"}, {140, "5vlx330t", L"5vlx330t"}, {141, "5vlx220t", L"5vlx220t"},
    {142, "5vlx155t", L"5vlx155t"}, {144, "5vsx35t", L"5vsx35t"},   {145, "5vsx50t", L"5vsx50t"},
    {146, "5vsx95t", L"5vsx95t"},   {147, "5vsx240t", L"5vsx240t"}, {152, "5vfx100t", L"5vfx100t"},
    {153, "5vfx130t", L"5vfx130t"}, {154, "5vfx200t", L"5vfx200t"}, {155, "5vfx30t", L"5vfx30t"},
    {156, "5vfx70t", L"5vfx70t"},
};

template <typename Row, size_t Count> const Row* FindCode(const Row (&table)[Count], uint32_t code)
{
    for (const Row& row : table)
    {
        if (row.Code == code)
            return &row;
    }
    return nullptr;
}

template <size_t Count> const char* NameOf(const CNamedCode (&table)[Count], uint32_t code)
{
    const CNamedCode* row = FindCode(table, code);
    return row != nullptr ? row->Name : UnknownName;
}

template <size_t Count> const wchar_t* NameWOf(const CNamedCode (&table)[Count], uint32_t code)
{
    const CNamedCode* row = FindCode(table, code);
    return row != nullptr ? row->NameW : UnknownNameW;
}

} // namespace

int Gen3ModelNumber(uint32_t modelCode)
{
    const CNumberedCode* row = FindCode(Gen3ModelNumbers, modelCode);
    return row != nullptr ? row->Model : MODEL_GEN3_UNKNOWN;
}

int Gen2ModelNumber(uint32_t cardType)
{
    if (cardType <= LastGen2TypeWithOwnNumber)
        return static_cast<int>(cardType);
    const CNumberedCode* row = FindCode(Gen2ModelNumberExceptions, cardType);
    return row != nullptr ? row->Model : MODEL_GEN2_UNKNOWN;
}

const char* Gen3ModelName(uint32_t modelCode)
{
    return NameOf(Gen3ModelNames, modelCode);
}

const wchar_t* Gen3ModelNameW(uint32_t modelCode)
{
    return NameWOf(Gen3ModelNames, modelCode);
}

const char* Gen2ModelName(uint32_t cardType)
{
    return NameOf(Gen2ModelNames, cardType);
}

const wchar_t* Gen2ModelNameW(uint32_t cardType)
{
    return NameWOf(Gen2ModelNames, cardType);
}

const char* Gen2FpgaName(uint32_t fpgaType)
{
    return NameOf(Gen2FpgaNames, fpgaType);
}

const wchar_t* Gen2FpgaNameW(uint32_t fpgaType)
{
    return NameWOf(Gen2FpgaNames, fpgaType);
}

} // namespace Corvane::Common

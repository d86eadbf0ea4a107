#include "BoardProfile.h"

#include <array>

namespace Corvane::Common
{

namespace
{
// Conversion factors, each the 32-bit float nearest to its decimal.
constexpr float OneIn16 = 0.0625f;
constexpr float OneIn256 = 0.00390625f;
constexpr float OneIn4096 = 0.000244140625f;
constexpr float ThreeIn8192 = 0.0003662109375f;
constexpr float Step355MicroVolts = 0.000355110009f;
constexpr float Step1444MicroVolts = 0.00144449866f;
constexpr float Step1462MicroVolts = 0.00146239996f;
// The temperature sensors count sixteenths of a kelvin.
constexpr float KelvinToCelsius = -273.15f;

constexpr ElapsedTimeField ElapsedTime = {"ETC", 0};
constexpr ClockStatusField ClockStatus = {"Si5338", 53};

constexpr EventCounterField EventsAt657 = {"Events", {6, 7, 5, 5}, 3};
constexpr EventCounterField EventsAt897 = {"Events", {8, 9, 7, 7}, 3};
constexpr EventCounterField EventsAt4567 = {"Events", {4, 5, 6, 7}, 3};

constexpr AnalogChannel Model32Analog[] = {
    {"ADC 0", "V", 8, Step1444MicroVolts, 0},
    {"ADC 1", "V", 10, OneIn256, 0},
    {"ADC 2", "V", 12, Step1444MicroVolts, 0},
    {"ADC 3", "V", 14, ThreeIn8192, 0},
    {"ADC 4", "V", 16, Step1444MicroVolts, 0},
    {"ADC 5", "V", 18, Step1444MicroVolts, 0},
    {"ADC 6", "V", 20, Step1444MicroVolts, 0},
    {"ADC 7", "V", 22, Step1444MicroVolts, 0},
    {"ADC 8", "V", 24, Step1444MicroVolts, 0},
    {"AVR Temperature", "C", 26, OneIn16, KelvinToCelsius},
    {"PCB Temperature", "C", 28, OneIn256, 0},
    {"Bridge Temperature", "C", 30, OneIn256, 0},
    {nullptr, nullptr, 0, 0, 0},
};

constexpr StatusFlag Model32Flags[] = {
    {"XMC_GA0", 4, 0},       {"XMC_GA1", 4, 1},      {"XMC_GA2", 4, 2},
    {"AVCC_POWER_OK", 4, 3}, {"VREF_DRAM_OK", 4, 4}, {"MVMRO", 4, 5},
    {"MBIST_L", 4, 6},       {"Switch", 4, 7},       {nullptr, 0, 0},
};

constexpr AnalogChannel Model33Analog[] = {
    {"ADC 0", "V", 8, OneIn256, 0},
    {"ADC 1", "V", 10, Step1462MicroVolts, 0},
    {"ADC 2", "V", 12, Step1462MicroVolts, 0},
    {"ADC 3", "V", 14, Step1462MicroVolts, 0},
    {"ADC 4", "V", 16, Step1462MicroVolts, 0},
    {"ADC 5", "V", 18, Step1462MicroVolts, 0},
    {"ADC 6", "V", 20, Step1462MicroVolts, 0},
    {"ADC 7", "V", 22, Step1462MicroVolts, 0},
    {"ADC 8", "V", 24, Step1462MicroVolts, 0},
    {"ADC 9", "V", 26, Step355MicroVolts, 0},
    {"ADC 10", "V", 28, Step355MicroVolts, 0},
    {"ADC 11", "V", 30, Step355MicroVolts, 0},
    {"AVR Temperature", "C", 34, OneIn16, KelvinToCelsius},
    {"PCB Temperature", "C", 36, OneIn256, 0},
    {"Bridge Temperature", "C", 38, OneIn256, 0},
    {"Target Temperature", "C", 40, OneIn256, 0},
    {nullptr, nullptr, 0, 0, 0},
};

constexpr StatusFlag Model33Flags[] = {
    {"STATUS_PERST_L", 4, 0},
    {"STATUS_BRG_DONE_3V3", 4, 1},
    {"STATUS_TGT_DONE_3V3", 4, 2},
    {"STATUS_VREF_DRAM_OK", 4, 3},
    {"STATUS_AVR_SERV_L", 4, 4},
    {"STATUS_AVR_RST_L", 4, 5},
    {"STATUS_RSRVD_0", 4, 6},
    {"STATUS_RSRVD_1", 4, 7},
    {"TMP0 (AVR) Warning LOW", 32, 0},
    {"TMP0 (AVR) Warning HIGH", 32, 1},
    {"TMP1 (Brd) Warning LOW", 32, 2},
    {"TMP1 (Brd) Warning HIGH", 32, 3},
    {"TMP2 (Brd) Warning LOW", 32, 4},
    {"TMP2 (Brd) Warning HIGH", 32, 5},
    {"TMP3 (Tgt) Warning LOW", 32, 6},
    {"TMP3 (Tgt) Warning HIGH", 32, 7},
    {"TMP0 (AVR) Critical LOW", 33, 0},
    {"TMP0 (AVR) Critical HIGH", 33, 1},
    {"TMP1 (Brd) Critical LOW", 33, 2},
    {"TMP1 (Brd) Critical HIGH", 33, 3},
    {"TMP2 (Brd) Critical LOW", 33, 4},
    {"TMP2 (Brd) Critical HIGH", 33, 5},
    {"TMP3 (Tgt) Critical LOW", 33, 6},
    {"TMP3 (Tgt) Critical HIGH", 33, 7},
    {"FMC_PRESENT", 42, 0},
    {"FMC_PG_C2M", 42, 1},
    {"FMC_PG_M2C", 42, 2},
    {"FMC_VADJ_VSEL0", 42, 3},
    {"FMC_VADJ_VSEL1", 42, 4},
    {"FMC_VADJ_VSEL2", 42, 5},
    {"STATUS_RSRVD_0", 42, 6},
    {"STATUS_RSRVD_1", 42, 7},
    {nullptr, 0, 0},
};

constexpr AnalogChannel Model35Analog[] = {
    {"ADC 0", "V", 10, OneIn256, 0},           {"ADC 1", "V", 12, Step1462MicroVolts, 0},
    {"ADC 2", "V", 14, Step1462MicroVolts, 0}, {"ADC 3", "V", 16, Step1462MicroVolts, 0},
    {"ADC 4", "V", 18, Step1462MicroVolts, 0}, {"ADC 5", "V", 20, Step1462MicroVolts, 0},
    {"ADC 6", "V", 22, Step1462MicroVolts, 0}, {"ADC 7", "V", 24, Step1462MicroVolts, 0},
    {"ADC 8", "V", 26, Step1462MicroVolts, 0}, {"ADC 9", "V", 28, Step355MicroVolts, 0},
    {"ADC 10", "V", 30, Step355MicroVolts, 0}, {nullptr, nullptr, 0, 0, 0},
};

constexpr StatusFlag NoFlags[] = {
    {nullptr, 0, 0},
};

constexpr AnalogChannel Model37Analog[] = {
    {"A1 VPWR_ADCMP", "V", 10, OneIn4096, 0},
    {"A2 12V0_DIG_ADCMP", "V", 12, OneIn4096, 0},
    {"A3 5V0_DIG_ADCMP", "V", 14, OneIn4096, 0},
    {"A4 3V3_DIG_ADCMP", "V", 16, OneIn4096, 0},
    {"A5 2V5_DIG_ADCMP", "V", 18, OneIn4096, 0},
    {"A6 VCC_AUX_IO_2V0_ADCMP", "V", 20, OneIn4096, 0},
    {"A7 1V8_DIG_ADCMP", "V", 22, OneIn4096, 0},
    {"B1 1V8_VCCAUX_ADCMP", "V", 26, OneIn4096, 0},
    {"B2 MGT_AVCC_AUX_1V8_ADCMP", "V", 28, OneIn4096, 0},
    {"B3 VCC_DRAM_ADCMP", "V", 30, OneIn4096, 0},
    {"B4 ZKM_VIO_ADCMP", "V", 32, OneIn4096, 0},
    {"B5 1V0_DIG_ADCMP", "V", 34, OneIn4096, 0},
    {"B6 TGT_AVCC_1V2_ADCMP", "V", 36, OneIn4096, 0},
    {"B7 TGT_AVCC_1V0_ADCMP", "V", 38, OneIn4096, 0},
    {"TMP0 AVR Temperature", "C", 40, OneIn16, KelvinToCelsius},
    {"TMP1 PCB Temperature", "C", 42, OneIn16, KelvinToCelsius},
    {"TMP2 Bridge Temperature", "C", 44, OneIn16, KelvinToCelsius},
    {"TMP3 Target Temperature", "C", 46, OneIn16, KelvinToCelsius},
    {nullptr, nullptr, 0, 0, 0},
};

constexpr AnalogChannel Model40Analog[] = {
    {"A1 12V0_DIG_ADCMP", "V", 10, OneIn4096, 0},
    {"A2 5V0_DIG_ADCMP", "V", 12, OneIn4096, 0},
    {"A3 3V3_DIG_ADCMP", "V", 14, OneIn4096, 0},
    {"A4 2V5_DIG_ADCMP", "V", 16, OneIn4096, 0},
    {"A5 VCC_AUX_IO_2V0_ADCMP", "V", 18, OneIn4096, 0},
    {"A6 1V8_DIG_ADCMP", "V", 20, OneIn4096, 0},
    {"A7 1V8_VCCAUX_ADCMP", "V", 22, OneIn4096, 0},
    {"B1 MGT_AVCC_AUX_1V8_ADCMP", "V", 26, OneIn4096, 0},
    {"B2 VCC_DRAM_ADCMP", "V", 28, OneIn4096, 0},
    {"B3 FMC_VADJ_ADCMP", "V", 30, OneIn4096, 0},
    {"B4 1V0_DIG_ADCMP", "V", 32, OneIn4096, 0},
    {"B5 TGT_AVCC_1V2_ADCMP", "V", 34, OneIn4096, 0},
    {"B6 TGT_AVCC_1V0_ADCMP", "V", 36, OneIn4096, 0},
    {"B7 BRG_AVCC_1V0_ADCMP", "V", 38, OneIn4096, 0},
    {"TMP0 AVR Temperature", "C", 40, OneIn16, KelvinToCelsius},
    {"TMP1 PCB Temperature", "C", 42, OneIn16, KelvinToCelsius},
    {"TMP2 Bridge Temperature", "C", 44, OneIn16, KelvinToCelsius},
    {"TMP3 Target Temperature", "C", 46, OneIn16, KelvinToCelsius},
    {nullptr, nullptr, 0, 0, 0},
};

// The range rows of the later boards: four per measured channel, in the order the nibbles lie.
constexpr size_t RangeRowCount = 72;
constexpr const char* RangeRowNames[RangeRowCount] = {
    "ADC A1 Under Range", "ADC A1 Over Range", "ADC A1 Critical", "ADC A1 OK",
    "ADC A2 Under Range", "ADC A2 Over Range", "ADC A2 Critical", "ADC A2 OK",
    "ADC A3 Under Range", "ADC A3 Over Range", "ADC A3 Critical", "ADC A3 OK",
    "ADC A4 Under Range", "ADC A4 Over Range", "ADC A4 Critical", "ADC A4 OK",
    "ADC A5 Under Range", "ADC A5 Over Range", "ADC A5 Critical", "ADC A5 OK",
    "ADC A6 Under Range", "ADC A6 Over Range", "ADC A6 Critical", "ADC A6 OK",
    "ADC A7 Under Range", "ADC A7 Over Range", "ADC A7 Critical", "ADC A7 OK",
    "ADC B1 Under Range", "ADC B1 Over Range", "ADC B1 Critical", "ADC B1 OK",
    "ADC B2 Under Range", "ADC B2 Over Range", "ADC B2 Critical", "ADC B2 OK",
    "ADC B3 Under Range", "ADC B3 Over Range", "ADC B3 Critical", "ADC B3 OK",
    "ADC B4 Under Range", "ADC B4 Over Range", "ADC B4 Critical", "ADC B4 OK",
    "ADC B5 Under Range", "ADC B5 Over Range", "ADC B5 Critical", "ADC B5 OK",
    "ADC B6 Under Range", "ADC B6 Over Range", "ADC B6 Critical", "ADC B6 OK",
    "ADC B7 Under Range", "ADC B7 Over Range", "ADC B7 Critical", "ADC B7 OK",
    "TMP0 Under Range",   "TMP0 Over Range",   "TMP0 Critical",   "TMP0 OK",
    "TMP1 Under Range",   "TMP1 Over Range",   "TMP1 Critical",   "TMP1 OK",
    "TMP2 Under Range",   "TMP2 Over Range",   "TMP2 Critical",   "TMP2 OK",
    "TMP3 Under Range",   "TMP3 Over Range",   "TMP3 Critical",   "TMP3 OK",
};

// Each channel owns a nibble counted from byte 54, low nibble first; within it the bits are
// Under Range, Over Range, Critical, OK. A1-A7 use nibbles 1-7, B1-B7 nibbles 9-15 and
// TMP0-TMP3 nibbles 16-19; nibbles 0 and 8 carry nothing.
constexpr StatusFlag RangeRow(size_t row)
{
    const int32_t channel = static_cast<int32_t>(row / 4);
    const int32_t nibble = channel < 7 ? channel + 1 : channel + 2;
    return {RangeRowNames[row], 54 + nibble / 2, (nibble % 2) * 4 + static_cast<int32_t>(row % 4)};
}

// A board's own flag rows, then the range rows, then the row that ends the table.
template <size_t N>
constexpr std::array<StatusFlag, N + RangeRowCount + 1> WithRangeRows(const StatusFlag (&own)[N])
{
    std::array<StatusFlag, N + RangeRowCount + 1> rows{};
    for (size_t i = 0; i < N; ++i)
        rows[i] = own[i];
    for (size_t i = 0; i < RangeRowCount; ++i)
        rows[N + i] = RangeRow(i);
    rows[N + RangeRowCount] = {nullptr, 0, 0};
    return rows;
}

constexpr StatusFlag Model37OwnFlags[] = {
    {"PSU_OK_0", 48, 0},       {"MezPres0", 49, 2},           {"FPGADone0", 49, 6},
    {"FPGADone1", 49, 7},      {"Force 2V5 0", 50, 2},        {"Force 2V5 1", 50, 3},
    {"PCIe Reset", 50, 4},     {"ZKM Present", 51, 0},        {"ZKM VIO Enabled", 51, 1},
    {"ZKM I2C Failed", 51, 3}, {"ZKM Checksum Error", 51, 4}, {"ZKM Missing Data", 51, 5},
    {"ZKM Force 2V5", 51, 6},  {"SI5338 init OK", 52, 0},     {"Interrogate OK", 52, 1},
    {"Op 1 OK", 52, 2},
};

constexpr StatusFlag Model40OwnFlags[] = {
    {"POK", 48, 0},
    {"FMC_VADJ_POK", 48, 1},
    {"PG_M2C", 48, 6},
    {"FMC_PRSNT_3V3_L", 49, 2},
    {"BRG_DONE", 49, 6},
    {"TGT_DONE", 49, 7},
    {"VPX_SYSRESET_L", 50, 4},
    {"MEZ_PRESENT", 51, 0},
    {"MEZ_VIO_EN", 51, 1},
    {"MEZ_I2C_FAIL", 51, 3},
    {"MEZ_CHECKSUM", 51, 4},
    {"MEZ_DATA_MISSING", 51, 5},
    {"SI5338 init OK", 52, 0},
    {"Interrogate OK", 52, 1},
    {"Op 1 OK", 52, 2},
};

constexpr auto Model37Flags = WithRangeRows(Model37OwnFlags);
constexpr auto Model40Flags = WithRangeRows(Model40OwnFlags);

constexpr BoardProfile Model32Profile = {0x4000,       256,          Model32Analog, Model32Flags,
                                         &ElapsedTime, &EventsAt657, nullptr,       false};
constexpr BoardProfile Model33Profile = {0x10000,      256,          Model33Analog, Model33Flags,
                                         &ElapsedTime, &EventsAt657, nullptr,       true};
constexpr BoardProfile Model35Profile = {0x10000,      256,          Model35Analog, NoFlags,
                                         &ElapsedTime, &EventsAt897, nullptr,       true};
constexpr BoardProfile Model37Profile = {
    0x20000,      512,           Model37Analog, Model37Flags.data(),
    &ElapsedTime, &EventsAt4567, &ClockStatus,  true};
constexpr BoardProfile Model40Profile = {
    0x20000,      512,           Model40Analog, Model40Flags.data(),
    &ElapsedTime, &EventsAt4567, &ClockStatus,  true};

struct ModelProfile
{
    int32_t ModelCode;
    const BoardProfile* Profile;
};

// Models 36 and 38 have no profile although their neighbours do.
constexpr ModelProfile ModelProfiles[] = {
    {32, &Model32Profile}, {33, &Model33Profile}, {34, &Model33Profile}, {35, &Model35Profile},
    {37, &Model37Profile}, {39, &Model37Profile}, {40, &Model40Profile},
};

BoardProfile ChosenProfile;
} // namespace

const BoardProfile* FindBoardProfile(int32_t modelCode)
{
    for (const ModelProfile& entry : ModelProfiles)
        if (entry.ModelCode == modelCode)
            return entry.Profile;
    return nullptr;
}

bool SelectBoardProfile(int32_t modelCode)
{
    const BoardProfile* profile = FindBoardProfile(modelCode);
    if (!profile)
        return false;
    ChosenProfile = *profile;
    return true;
}

const BoardProfile& CurrentBoardProfile()
{
    return ChosenProfile;
}

} // namespace Corvane::Common

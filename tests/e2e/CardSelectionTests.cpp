// Which card a run takes, and what it says when it takes none: the mode checks, the cards found,
// the card menu, matching by serial number or index, and the supported models.
#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace MistleTest;

namespace
{

const std::string ApplicationMode = "\nSystem is in application mode\n";
const std::string NotServiceMode = "\nSystem is not in service mode!\n";
const std::string ServiceMode = "\nSystem is in service mode.\n";
const std::string NotApplicationMode = "\nSystem is not in application mode!\n";
const std::string NoCards = "\nNo Corvane cards could be found that are ready for use!\n";
const std::string NoUsableCards = "\nNo Corvane cards that can be used with this application could "
                                  "be found that are ready for use!\n";
const std::string NoMatch = "\nCould not find card with specified serial number or index.\n";
const std::string NotSupported = "\nWarning! Selected card not supported.\n";
const std::string ForceOpen = "\nForce open specified. Attempting to open unsupported card.\n";

std::string Gen3(int index, int serial, const char* model, const char* mcu = "application",
                 const char* extra = "")
{
    return "[gen3]\nindex = " + std::to_string(index) + "\nserial = " + std::to_string(serial) +
           "\nmodel = " + model + "\nfpga = CVX-410T\nmcu = " + mcu + "\n" + extra;
}

std::string Gen2(int index, int serial, const char* extra = "")
{
    return "[gen2]\nindex = " + std::to_string(index) + "\nserial = " + std::to_string(serial) +
           "\ncard_type = 12\nfpga_type = 98\n" + extra;
}

const std::string ThreeCards =
    Gen3(0, 30001, "0x10C") + Gen3(4, 30002, "0x104", "service") + Gen3(9, 30003, "0x106");

const std::string ThreeCardMenu =
    "\n"
    "-------------------------------------------------------------------------------\n"
    "-                            Select a card to use                             -\n"
    "-------------------------------------------------------------------------------\n"
    "-                                                                             -\n"
    "-    vexa11-cvx-410t S/N: 30001...........................................1   -\n"
    "-    vexa4-cvx-410t S/N: 30002                                            2   -\n"
    "-    vexa6-cvx-410t S/N: 30003............................................3   -\n"
    "-                                                                             -\n"
    "-------------------------------------------------------------------------------\n"
    "\nSelect option:> ";

} // namespace

// Forcing application mode wins over forcing service mode and over the microcontroller.
TEST(ModeChecks, FollowTheMicrocontrollerUnlessForced)
{
    const std::string application = Gen3(0, 1, "0x10C");
    const std::string service = Gen3(0, 1, "0x10C", "service");
    ExpectCases({
        {"", {"/am"}, ApplicationMode, 0}, // the default card, alone
        {"", {"/sn", "10001", "/am"}, ApplicationMode, 0},
        {application, {"/am"}, ApplicationMode, 0},
        {application, {"/sm"}, NotServiceMode, Failure},
        {application, {"/sm", "/am"}, ApplicationMode, 0},
        {service, {"/sm"}, ServiceMode, 0},
        {service, {"/am"}, NotApplicationMode, Failure},
        {service, {"/am", "/sm"}, NotApplicationMode, Failure},
        {service, {"/fs", "/fa", "/am"}, ApplicationMode, 0},
        {service, {"/fa", "/sm"}, NotServiceMode, Failure},
        {application, {"/fs", "/sm"}, ServiceMode, 0},
    });
}

// A Gen 2 card that opens counts as a card, though the tool uses none; one that cannot be opened,
// and a Gen 3 card whose library cannot open it or read its information, are not there.
TEST(Discovery, CardsThatCannotBeUsed)
{
    ToolRun withoutLibraries = On("", {"/am"});
    withoutLibraries.WithBoardLibraries = false;
    ExpectRun(withoutLibraries, NoCards, Failure);
    ExpectCases({
        {"[host]\n", {"/am"}, NoCards, Failure},
        {Gen2(0, 100) + Gen2(14, 114), {"/am"}, NoUsableCards, Failure},
        {Gen2(4, 104, "fail = card_info\n"), {"/am"}, NoUsableCards, Failure},
        {Gen2(3, 103, "fail = open\n") + Gen3(2, 1, "0x10C", "application", "fail = card_info\n"),
         {"/am"},
         NoCards,
         Failure},
        {Gen3(0, 1, "0x10C", "application", "fail = open\n") + Gen2(1, 5),
         {"/am"},
         NoUsableCards,
         Failure},
        {"open-fails.ini", {"/am"}, "\nError! The selected card could not be opened.\n", Failure},
    });
}

// The Gen 2 cards are set up as they are found, and the stand-in traces both libraries' counters
// when the tool's process ends.
TEST(Discovery, OneGen3CardAmongGen2CardsIsTakenWithoutAMenu)
{
    const std::string trace = TestScratchPath("trace.txt");
    std::remove(trace.c_str());
    const std::string host = Gen2(0, 100) + Gen2(3, 103) + Gen3(14, 555, "0x10C") + Gen2(14, 114) +
                             "[host]\ntrace = " + trace + "\n";
    ExpectRun(On(host, {"/v"}), VersionOutput, 0);
    const std::string text = ReadFileBytes(trace);
    for (const char* line : {"gen3 14 use_opens 1\n", "gen3 14 received 56 4e 3f\n",
                             "gen2 3 control_words 0x00034080 0x00031603 0x00034001 0x00040000"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
}

// The menu is drawn for several cards and refuses bad keys. Index 0 is the first Gen 3 card, never
// a Gen 2 card; of two cards with one serial number the higher slot wins.
TEST(Choice, ByMenuSerialNumberOrIndex)
{
    const std::string inputEnded = "\nNo card was chosen: standard input ended.\n";
    const std::string bad = "\nBad selection\n";
    const std::string mixed = Gen2(0, 100) + Gen3(0, 7, "0x10C", "service") + Gen3(1, 8, "0x10C");
    ExpectCases({
        {ThreeCards,
         {"/sm"},
         ThreeCardMenu + bad + ThreeCardMenu + bad + ThreeCardMenu + "\nBad selection : ''\n" +
             ThreeCardMenu + "\nBad selection : '12'\n" + ThreeCardMenu + ServiceMode,
         0,
         "Q\n4\n\n12\n2\n"},
        {ThreeCards, {"/sm"}, ThreeCardMenu + NotServiceMode, Failure, "3\n"},
        {ThreeCards, {"/am"}, ThreeCardMenu + inputEnded, Failure, ""},
        {ThreeCards, {"/am"}, ThreeCardMenu + bad + ThreeCardMenu + inputEnded, Failure, "x\n"},
        {mixed, {"/index", "0", "/sm"}, ServiceMode, 0},
        {mixed, {"/index", "1", "/sm"}, NotServiceMode, Failure},
        {Gen2(3, 100) + Gen3(0, 7, "0x10C"), {"/index", "3", "/am"}, NoMatch, Failure},
        {mixed, {"/sn", "999", "/am"}, NoMatch, Failure},
        {mixed, {"/sn", "8", "/am"}, ApplicationMode, 0},
        {"duplicate-serials.ini", {"/sn", "5555", "/sm"}, ServiceMode, 0},
    });
}

TEST(Profiles, UnsupportedModelsAreRefusedUnlessForced)
{
    std::vector<Case> cases;
    for (const char* model : {"0x104", "0x105", "0x106", "0x107", "0x109", "0x10B", "0x10C"})
        cases.push_back({Gen3(0, 1, model), {"/am"}, ApplicationMode, 0});
    for (const char* model : {"0x200", "0x108", "0x10A"}) // unknown (26), 36, 38
    {
        cases.push_back({Gen3(0, 1, model), {"/am"}, NotSupported, Failure});
        cases.push_back(
            {Gen3(0, 1, model), {"/fo", "/am"}, NotSupported + ForceOpen + ApplicationMode, 0});
    }
    ExpectCases(cases);
}

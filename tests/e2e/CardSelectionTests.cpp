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

std::string Gen2(int index, int serial, int cardType = 12)
{
    return "[gen2]\nindex = " + std::to_string(index) + "\nserial = " + std::to_string(serial) +
           "\ncard_type = " + std::to_string(cardType) + "\nfpga_type = 98\n";
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

TEST(ModeChecks, DefaultSimulatedCardIsInApplicationMode)
{
    ExpectRun({"/am"}, ApplicationMode, 0);
}

TEST(ModeChecks, BothChecksInApplicationMode)
{
    const std::string card = Gen3(0, 1, "0x10C");
    ExpectRun(On(card, {"/am"}), ApplicationMode, 0);
    ExpectRun(On(card, {"/sm"}), NotServiceMode, FailureCode());
    ExpectRun(On(card, {"/sm", "/am"}), ApplicationMode, 0);
}

TEST(ModeChecks, BothChecksInServiceMode)
{
    const std::string card = Gen3(0, 1, "0x10C", "service");
    ExpectRun(On(card, {"/sm"}), ServiceMode, 0);
    ExpectRun(On(card, {"/am"}), NotApplicationMode, FailureCode());
    ExpectRun(On(card, {"/am", "/sm"}), NotApplicationMode, FailureCode());
}

TEST(ModeChecks, ForcedModes)
{
    const std::string service = Gen3(0, 1, "0x10C", "service");
    const std::string application = Gen3(0, 1, "0x10C");
    // Force application mode wins over force service mode and over the microcontroller.
    ExpectRun(On(service, {"/fs", "/fa", "/am"}), ApplicationMode, 0);
    ExpectRun(On(service, {"/fa", "/sm"}), NotServiceMode, FailureCode());
    ExpectRun(On(application, {"/fs", "/sm"}), ServiceMode, 0);
}

TEST(Discovery, NoCardAtAll)
{
    ToolRun run;
    run.Arguments = {"/am"};
    run.WithBoardLibraries = false;
    ExpectRun(run, NoCards, FailureCode());
    ExpectRun(On("[host]\n", {"/am"}), NoCards, FailureCode());
}

TEST(Discovery, OnlyGen2Cards)
{
    ExpectRun(On(Gen2(0, 100) + Gen2(14, 114), {"/am"}), NoUsableCards, FailureCode());
}

TEST(Discovery, OneGen3CardAmongGen2CardsIsTakenWithoutAMenu)
{
    const std::string host = Gen2(0, 100) + Gen2(3, 103) + Gen3(14, 555, "0x10C") + Gen2(14, 114);
    ExpectRun(On(host, {"/am"}), ApplicationMode, 0);
}

TEST(Discovery, ACardThatCannotBeOpenedFailsTheRunWithAMessage)
{
    const std::string host = Gen3(0, 1, "0x10C", "application", "fail = map2\n");
    ExpectRun(On(host, {"/am"}), "\nError! The selected card could not be opened.\n",
              FailureCode());
}

TEST(Discovery, ACardWhoseLibraryOpenFailsIsNotThere)
{
    const std::string host = Gen3(0, 1, "0x10C", "application", "fail = open\n") + Gen2(1, 5);
    ExpectRun(On(host, {"/am"}), NoUsableCards, FailureCode());
}

TEST(Menu, IsDrawnForSeveralCardsAndRefusesBadKeys)
{
    const std::string expected = ThreeCardMenu + "\nBad selection\n" + ThreeCardMenu +
                                 "\nBad selection\n" + ThreeCardMenu + "\nBad selection : ''\n" +
                                 ThreeCardMenu + "\nBad selection : '12'\n" + ThreeCardMenu +
                                 ServiceMode;
    ExpectRun(On(ThreeCards, {"/sm"}, "Q\n4\n\n12\n2\n"), expected, 0);
}

TEST(Menu, ChoosingAnotherKeyTakesThatCard)
{
    ExpectRun(On(ThreeCards, {"/sm"}, "3\n"), ThreeCardMenu + NotServiceMode, FailureCode());
}

TEST(Menu, EndOfInputEndsTheRunCleanly)
{
    ExpectRun(On(ThreeCards, {"/am"}, ""),
              ThreeCardMenu + "\nNo card was chosen: standard input ended.\n", FailureCode());
    ExpectRun(On(ThreeCards, {"/am"}, "x\n"),
              ThreeCardMenu + "\nBad selection\n" + ThreeCardMenu +
                  "\nNo card was chosen: standard input ended.\n",
              FailureCode());
}

TEST(Matching, IndexZeroChoosesTheFirstGen3Card)
{
    const std::string host = Gen2(0, 100) + Gen3(0, 7, "0x10C", "service") + Gen3(1, 8, "0x10C");
    ExpectRun(On(host, {"/index", "0", "/sm"}), ServiceMode, 0);
    ExpectRun(On(host, {"/index", "1", "/sm"}), NotServiceMode, FailureCode());
}

TEST(Matching, AGen2CardIsNeverMatchedByIndex)
{
    const std::string host = Gen2(3, 100) + Gen3(0, 7, "0x10C");
    ExpectRun(On(host, {"/index", "3", "/am"}), NoMatch, FailureCode());
}

TEST(Matching, AnUnknownSerialNumberMatchesNothing)
{
    const std::string host = Gen3(0, 7, "0x10C");
    ExpectRun(On(host, {"/sn", "999", "/am"}), NoMatch, FailureCode());
    ExpectRun(On(host, {"/sn", "7", "/am"}), ApplicationMode, 0);
}

TEST(Matching, OfTwoCardsWithTheSameSerialTheHigherSlotWins)
{
    const std::string host = Gen3(1, 777, "0x10C") + Gen3(4, 777, "0x10C", "service");
    ExpectRun(On(host, {"/sn", "777", "/sm"}), ServiceMode, 0);
}

TEST(Profiles, UnsupportedModelsAreRefusedUnlessForced)
{
    for (const char* model : {"0x200", "0x108", "0x10A"}) // unknown (26), 36, 38
    {
        SCOPED_TRACE(model);
        const std::string host = Gen3(0, 1, model);
        ExpectRun(On(host, {"/am"}), NotSupported, FailureCode());
        ExpectRun(On(host, {"/fo", "/am"}), NotSupported + ForceOpen + ApplicationMode, 0);
    }
}

TEST(Profiles, EverySupportedModelIsTaken)
{
    for (const char* model : {"0x104", "0x105", "0x106", "0x107", "0x109", "0x10B", "0x10C"})
    {
        SCOPED_TRACE(model);
        ExpectRun(On(Gen3(0, 1, model), {"/am"}), ApplicationMode, 0);
    }
}

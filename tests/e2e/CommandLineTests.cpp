#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace MistleTest;

namespace
{
const char* const ExpectedHelp =
    "\n"
    "\nmistle.exe Help"
    "\n"
    "\nmistle.exe (All modes)"
    "\n"
    "\n/?                             - Display help"
    "\n/am                            - Application mode check"
    "\n/sm                            - Service mode check"
    "\n/fs                            - Force mistle service mode"
    "\n/fa                            - Force mistle application mode"
    "\n/fo                            - Force open selected card"
    "\n/sn <serial num.>              - Open board with serial number"
    "\n/index <index>                 - Open board with index"
    "\n"
    "\n/gen_blob_v1_0 <file_name>     - Generate AVR config. image"
    "\n/gen_gain0 <gain>              - Set gain 0 for AVR config. image"
    "\n/gen_gain1 <gain>              - Set gain 0 for AVR config. image"
    "\n"
    "\nmistle.exe (Service mode)"
    "\n"
    "\n/v                                         - Read boot loader version"
    "\n/r <output_file_name> <offset> [file_size] - Read back from flash memory"
    "\n/w <input_file_name> <offset>              - Write to flash memory"
    "\n/c <input_file_name> <offset>              - Compare flash memory to file"
    "\n"
    "\nmistle.exe (Application mode)"
    "\n"
    "\n/v                             - Read application version"
    "\n/blow_etc                      - Reset and blow ETC counter"
    "\n/sd                            - Request self-destruct"
    "\n/i2c_rd                        - Perform an i2c read"
    "\n/i2c_wr                        - Perform an i2c write"
    "\n/i2c_vr                        - Verify an i2c write"
    "\n/in <file_name>                - Specify input filename for i2c write"
    "\n/bus                           - Specify bus for i2c"
    "\n/out <file_name>               - Specify output filename for i2c read"
    "\n/size                          - Specify size of i2c operation"
    "\n/ca                            - Specify chip address used in i2c operation"
    "\n/a                             - Specify address used in i2c operation";
} // namespace

TEST(Help, PrintsTheHelpTextExactlyWithoutABoardLibrary)
{
    ToolRun run;
    run.Arguments = {"/?"};
    run.WithBoardLibraries = false;
    ExpectRun(run, ExpectedHelp, 0);
}

TEST(Help, EndsTheRunWhereverItStands)
{
    ExpectRun({"/am", "/fo", "/?", "/sn"}, ExpectedHelp, 0);
    ExpectRun({"/sn", "1", "/index", "2", "/?"}, ExpectedHelp, 0);
}

TEST(Help, IsNotActedOnAsTheValueOfAnOption)
{
    ExpectRun({"/gen_blob_v1_0", ScratchPath("unused.bin"), "/gen_gain0", "/?"},
              "\n/gen_gain0 must be followed by gain setting.\n", FailureCode());
}

TEST(FirstPassFailures, MissingValues)
{
    ExpectRun({"/gen_blob_v1_0"}, "\n/gen_blob_v1_0 must be followed by gain setting.\n",
              FailureCode());
    ExpectRun({"/gen_gain0"}, "\n/gen_gain0 must be followed by gain setting.\n", FailureCode());
    ExpectRun({"/gen_gain1"}, "\n/gen_gain1 must be followed by gain setting.\n", FailureCode());
    ExpectRun({"/am", "/sn"}, "\n/sn must be followed by serial number.\n", FailureCode());
    ExpectRun({"/index"}, "\n/index must be followed by index.\n", FailureCode());
}

TEST(FirstPassFailures, GainsThatDoNotScan)
{
    // The help after it is not reached.
    ExpectRun({"/gen_gain0", "8000", "/?"}, "\n/gen_gain0 must be followed by gain setting.\n",
              FailureCode());
    ExpectRun({"/gen_gain1", "0xzz"}, "\n/gen_gain1 must be followed by gain setting.\n",
              FailureCode());
    ExpectRun({"/gen_gain1", "0X10"}, "\n/gen_gain1 must be followed by gain setting.\n",
              FailureCode());
}

TEST(FirstPassFailures, SerialNumberAndIndexTogetherAreRefusedFirst)
{
    const std::string message = "\n/index and /sn can not be used together.\n";
    ExpectRun({"/sn", "5", "/index", "1"}, message, FailureCode());
    const std::string image = ScratchPath("never-written.bin");
    std::remove(image.c_str());
    ExpectRun({"/index", "1", "/gen_blob_v1_0", image, "/sn", "5"}, message, FailureCode());
    EXPECT_FALSE(FileExists(image));
}

TEST(FirstPassFailures, TheFirstFailingOptionIsTheOneReported)
{
    ExpectRun({"/gen_gain1", "bad", "/gen_gain0", "bad"},
              "\n/gen_gain1 must be followed by gain setting.\n", FailureCode());
}

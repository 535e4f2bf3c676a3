// The whole program on a scripted machine: the name listings.
#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

const char FULL_LISTING[] =
    "System Performance Objects:\n"
    "\tProcessor\n"
    "\t    Performance Object Instances:\n"
    "\t\t0\n"
    "\t\t1\n"
    "\t\t_Total\n"
    "\t    Performance Object Counters:\n"
    "\t\t% Processor Time\n"
    "\t\tInterrupts/sec\n"
    "\tMemory\n"
    "\t    Performance Object Instances:\n"
    "\t\tUNNAMED\n"
    "\t    Performance Object Counters:\n"
    "\t\tAvailable Bytes\n"
    "\t\tPage Faults/sec\n"
    "\tProcess\n"
    "\t    Performance Object Instances:\n"
    "\t\tsh\n"
    "\t\tinit\n"
    "\t\tsh\n"
    "\t    Performance Object Counters:\n"
    "\t\tID Process\n";

const char OBJECTS_LISTING[] =
    "System Performance Objects:\n"
    "\tProcessor\n"
    "\tMemory\n"
    "\tProcess\n";

class ProgramListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scripted::reset();
        scripted::addObject("Processor", {"% Processor Time", "Interrupts/sec"},
                            {"0", "1", "_Total"});
        scripted::addObject("Memory", {"Available Bytes", "Page Faults/sec"});
        scripted::addObject("Process", {"ID Process"}, {"sh", "init", "sh"});
    }
};

TEST_F(ProgramListingTest, AllWithNamesPrintsTheFullListing)
{
    ChildResult result = runProgram({"mirekast", "-a", "-L"});
    EXPECT_EQ(result.out, FULL_LISTING);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(ProgramListingTest, AllWithObjectsOnlyPrintsTheObjectNames)
{
    ChildResult result = runProgram({"mirekast", "-a", "-LO"});
    EXPECT_EQ(result.out, OBJECTS_LISTING);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(ProgramListingTest, TheListingIgnoresSetsRepeatAndFormatOptions)
{
    // Were a query opened, this would end the run with exit code 2 or more.
    scripted::answerCall(scripted::OPEN_QUERY, 1, PDH_INVALID_ARGUMENT);
    ChildResult result = runProgram({"mirekast", "-L", "-d", "-ll", "-r", "-s", "{Process", "-i",
                                     "*", "-c", "*", "}"});
    EXPECT_EQ(result.out, FULL_LISTING);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(ProgramListingTest, AFailedEnumerationEndsTheProgramWithExitCode2)
{
    scripted::answerCall(scripted::ENUM_OBJECTS, 1, PDH_CSTATUS_NO_MACHINE);
    ChildResult result = runProgram({"mirekast", "-a", "-LO"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Failed to Enumerate Objects\n");
    EXPECT_EQ(result.exitCode, 2);
}

} // namespace

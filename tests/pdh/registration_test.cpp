// Registering every counter of every instance of every object (-a).
#include "pdh/registration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdh/pdh_fixture.h"

namespace {

typedef std::vector<std::string> Paths;

class RegisterAllTest : public ::testing::Test {
protected:
    void SetUp() override { scripted::reset(); }
};

TEST_F(RegisterAllTest, BuildsBothTreesWithIndexedPathsForEqualInstanceNames)
{
    scripted::addObject("Process", {"ID Process", "Handle Count"}, {"a", "b", "a"});
    scripted::addObject("Memory", {"Available Bytes", "Cache Bytes"});

    testing::internal::CaptureStderr();
    Registration r;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(scripted::attemptedPaths(), (Paths{
                                              "\\Process(a#0)\\ID Process",
                                              "\\Process(a#0)\\Handle Count",
                                              "\\Process(b#0)\\ID Process",
                                              "\\Process(b#0)\\Handle Count",
                                              "\\Process(a#1)\\ID Process",
                                              "\\Process(a#1)\\Handle Count",
                                              "\\Memory\\Available Bytes",
                                              "\\Memory\\Cache Bytes",
                                          }));
    // Sorted by name; of equal names the later one first.
    EXPECT_EQ(drawTree(r.dataTree),
              "Memory\n"
              "  UNNAMED\n"
              "    Available Bytes = \\Memory\\Available Bytes\n"
              "    Cache Bytes = \\Memory\\Cache Bytes\n"
              "Process\n"
              "  a\n"
              "    Handle Count = \\Process(a#1)\\Handle Count\n"
              "    ID Process = \\Process(a#1)\\ID Process\n"
              "  a\n"
              "    Handle Count = \\Process(a#0)\\Handle Count\n"
              "    ID Process = \\Process(a#0)\\ID Process\n"
              "  b\n"
              "    Handle Count = \\Process(b#0)\\Handle Count\n"
              "    ID Process = \\Process(b#0)\\ID Process\n");
    EXPECT_EQ(drawTree(r.headerTree),
              "Memory\n"
              "  Available Bytes\n"
              "  Cache Bytes\n"
              "Process\n"
              "  Handle Count\n"
              "  ID Process\n");
}

TEST_F(RegisterAllTest, RefusedCountersAreSkippedSilentlyAndColumnsComeFromTheFirstInstance)
{
    scripted::addObject("Process", {"ID Process", "Handle Count", "Gone"}, {"a", "b"});
    scripted::refuseCounter("\\Process(a)\\Handle Count");
    scripted::refuseCounter("\\Process(b)\\ID Process", PDH_CSTATUS_NO_INSTANCE);
    scripted::refuseCounter("\\Process(a)\\Gone");
    scripted::refuseCounter("\\Process(b)\\Gone");

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Registration r;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(scripted::attemptedPaths().size(), 6u);
    EXPECT_EQ(drawTree(r.dataTree),
              "Process\n"
              "  a\n"
              "    ID Process = \\Process(a#0)\\ID Process\n"
              "  b\n"
              "    Handle Count = \\Process(b#0)\\Handle Count\n");
    // Handle Count succeeded only for b: no column.
    EXPECT_EQ(drawTree(r.headerTree), "Process\n  ID Process\n");
}

TEST_F(RegisterAllTest, AnObjectWhoseCountersAllFailKeepsItsNodes)
{
    scripted::addObject("Job", {"Jobs"}, {"x", "y"});
    scripted::addObject("Empty", {}).noCountersSize = 2;
    scripted::addObject("Bare", {});
    scripted::answerCall(scripted::ADD_COUNTER, 1, PDH_CSTATUS_NO_COUNTER);
    scripted::answerCall(scripted::ADD_COUNTER, 2, PDH_CSTATUS_NO_COUNTER);

    Registration r;

    EXPECT_EQ(drawTree(r.dataTree), "Bare\n  UNNAMED\nEmpty\n  UNNAMED\nJob\n  x\n  y\n");
    EXPECT_EQ(drawTree(r.headerTree), "Bare\nEmpty\nJob\n");
}

TEST_F(RegisterAllTest, AnInstanceNamedUnnamedGetsTheShortPath)
{
    scripted::addObject("Odd", {"c"}, {"UNNAMED", "UNNAMED"});

    Registration r;

    // Index 1 is computed, but the short form carries no index.
    EXPECT_EQ(scripted::attemptedPaths(), (Paths{"\\Odd\\c", "\\Odd\\c"}));
}

TEST_F(RegisterAllTest, APathThatWouldNotFitTheBufferIsSkipped)
{
    // "\\O\\" and the counter: 511 characters fit with the terminator, 512 do not.
    std::string fits(508, 'f');
    std::string tooLong(509, 'x');
    scripted::addObject("O", {tooLong, fits});

    Registration r;

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\O\\" + fits});
    EXPECT_EQ(drawTree(r.headerTree), "O\n  " + fits + "\n");
}

TEST_F(RegisterAllTest, AnInstancePathThatWouldNotFitTheBufferIsSkipped)
{
    // "\\I(" + 501 + "#0)\\" is 508 characters: a counter of 3 fits, of 4 does
    // not; an instance name of 600 leaves no room for any counter.
    std::string name(501, 'n');
    std::string huge(600, 'h');
    scripted::addObject("I", {"abcd", "abc"}, {name, huge});

    Registration r;

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\I(" + name + "#0)\\abc"});
    EXPECT_EQ(drawTree(r.headerTree), "I\n  abc\n");
}

TEST_F(RegisterAllTest, CounterPathsAreBuiltOrRefusedByLength)
{
    char path[16];
    EXPECT_TRUE(buildCounterPath(path, sizeof path, "P", "inst", 12, "c"));
    EXPECT_STREQ(path, "\\P(inst#12)\\c");
    EXPECT_TRUE(buildCounterPath(path, sizeof path, "Obj", nullptr, 7, "counter1"));
    EXPECT_STREQ(path, "\\Obj\\counter1");

    char guarded[24];
    memset(guarded, '#', sizeof guarded);
    EXPECT_FALSE(buildCounterPath(guarded, 16, "Obj", nullptr, 0, "counter12345")); // 17
    EXPECT_EQ(guarded[16], '#') << "written past the capacity";
    EXPECT_FALSE(buildCounterPath(guarded, 16, "Obj", nullptr, 0, "counter1234")); // 16
    EXPECT_EQ(guarded[16], '#');
    EXPECT_TRUE(buildCounterPath(guarded, 16, "Obj", nullptr, 0, "counter123")); // 15
    EXPECT_STREQ(guarded, "\\Obj\\counter123");

    // The index as "%d" would write it, whatever its size.
    char wide[64];
    EXPECT_TRUE(buildCounterPath(wide, sizeof wide, "P", "i", 2147483647, "c"));
    EXPECT_STREQ(wide, "\\P(i#2147483647)\\c");
    EXPECT_TRUE(buildCounterPath(wide, sizeof wide, "P", "i", -2147483647 - 1, "c"));
    EXPECT_STREQ(wide, "\\P(i#-2147483648)\\c");
    EXPECT_TRUE(buildCounterPath(wide, sizeof wide, "P", "", 0, ""));
    EXPECT_STREQ(wide, "\\P(#0)\\");
    EXPECT_FALSE(buildCounterPath(wide, 0, "P", "i", 0, "c"));
}

} // namespace

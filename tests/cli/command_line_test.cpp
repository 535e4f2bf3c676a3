// Options, widths and the checks after the last argument.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_settings.h"
#include "support/child_process.h"

namespace {

const char NO_DATA[] = "Error: No performance data requested.  Use -a or -s.\n";
const char CW_TOO_SMALL[] = "Error: Argument \"-cw\" requires value >= 8.\n";
const char SW_TOO_SMALL[] =
    "Error: Argument \"-sw\" requires value >= ( (column width + 1) * 2) + 2).\n";
const char EXCLUSIVE[] = "Error: -s and -a options are mutually exclusive.\n";

std::string integerValue(const std::string& option)
{
    return "Error: Argument \"" + option + "\" requires integer value.\n";
}

std::string requiresValue(const std::string& option)
{
    return "Error: Argument \"" + option + "\" requires value.\n";
}

// Parses in a child and reports the settings it left, or the error.
ChildResult parseOnly(std::vector<std::string> args)
{
    args.insert(args.begin(), "mirekast");
    return runInChild([&args] {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(&arg[0]);
        }
        NodeList* setList = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        printf("sw=%d cw=%d flags=0x%02x sets=%u\n", runSettings.screenWidth,
               runSettings.columnWidth, runSettings.flags, setList->count);
        destroyTree(setList);
        return 0;
    });
}

void expectSettings(const std::vector<std::string>& args, const std::string& settings)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseOnly(args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, settings + "\n");
    EXPECT_EQ(run.exitCode, 0);
}

void expectError(const std::vector<std::string>& args, const std::string& message)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseOnly(args);
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitCode, 4);
}

TEST(IsAllDigits, AcceptsOnlyAsciiDigitsAndTheEmptyText)
{
    EXPECT_TRUE(isAllDigits(""));
    EXPECT_TRUE(isAllDigits("0123456789"));
    EXPECT_FALSE(isAllDigits("-5"));
    EXPECT_FALSE(isAllDigits("+5"));
    EXPECT_FALSE(isAllDigits("12 "));
    EXPECT_FALSE(isAllDigits("1e3"));
    EXPECT_FALSE(isAllDigits("\xd9\xa3")); // an Arabic-Indic digit is not ASCII
}

TEST(CommandLine, FlagOptionsOnlyAddBits)
{
    expectSettings({"-a"}, "sw=80 cw=8 flags=0x20 sets=0");
    expectSettings({"-a", "-d", "-l", "-L"}, "sw=80 cw=8 flags=0x2b sets=0");
    expectSettings({"-a", "-ll"}, "sw=80 cw=8 flags=0x26 sets=0");
    expectSettings({"-a", "-ll", "-l", "-ll"}, "sw=80 cw=8 flags=0x26 sets=0");
    expectSettings({"-a", "-LO"}, "sw=80 cw=8 flags=0x38 sets=0");
    expectSettings({"-r", "-r1", "-s", "{P", "-i", "a", "-c", "b}"},
                   "sw=80 cw=8 flags=0xc0 sets=1");
}

TEST(CommandLine, WidthValues)
{
    expectSettings({"-a", "-cw", "8"}, "sw=80 cw=8 flags=0x20 sets=0");
    expectSettings({"-a", "-cw", "38"}, "sw=80 cw=38 flags=0x20 sets=0");
    expectSettings({"-a", "-sw", "20"}, "sw=20 cw=8 flags=0x20 sets=0");
    expectSettings({"-a", "-cw", "010"}, "sw=80 cw=10 flags=0x20 sets=0");
    expectSettings({"-a", "-cw", "12", "-cw", "9"}, "sw=80 cw=9 flags=0x20 sets=0");
    expectSettings({"-a", "-sw", "2147483647", "-cw", "1073741821"},
                   "sw=2147483647 cw=1073741821 flags=0x20 sets=0");

    expectError({"-a", "-cw", "7"}, CW_TOO_SMALL);
    expectError({"-a", "-cw", "39"}, SW_TOO_SMALL);
    expectError({"-a", "-sw", "19"}, SW_TOO_SMALL);
    expectError({"-a", "-cw", ""}, CW_TOO_SMALL);
    expectError({"-a", "-cw", "-5"}, integerValue("-cw"));
    expectError({"-a", "-sw", "8o"}, integerValue("-sw"));
    expectError({"-a", "-cw", "-h"}, integerValue("-cw"));
    expectError({"-a", "-sw", "-a"}, integerValue("-sw"));
    expectError({"-a", "-cw"}, requiresValue("-cw"));
    expectError({"-a", "-sw"}, requiresValue("-sw"));
}

TEST(CommandLine, WidthsThatDoNotFitThirtyTwoBitsAreRefusedNotWrapped)
{
    // 4294967304 would wrap to 8 and pass; 2147483648 would wrap negative.
    expectError({"-a", "-cw", "4294967304"}, integerValue("-cw"));
    expectError({"-a", "-sw", "2147483648"}, integerValue("-sw"));
    expectError({"-a", "-sw", "99999999999999999999999"}, integerValue("-sw"));
    expectSettings({"-a", "-sw", "0002147483647"}, "sw=2147483647 cw=8 flags=0x20 sets=0");
    // A column width so wide that the screen check would overflow still fails it.
    expectError({"-a", "-sw", "2147483647", "-cw", "2147483647"}, SW_TOO_SMALL);
}

TEST(CommandLine, FinalChecksRunInOrderAndStopAtTheFirst)
{
    expectError({}, NO_DATA);
    expectError({"-L"}, NO_DATA);
    expectError({"-LO", "-d", "-r"}, NO_DATA);
    expectError({"-a", "-r"}, EXCLUSIVE);
    expectError({"-a", "-r1"}, EXCLUSIVE);
    expectError({"-r", "-a", "-s", "{P", "-i", "a", "-c", "b}"}, EXCLUSIVE);
    expectError({"-cw", "5", "-a", "-r"}, CW_TOO_SMALL);
    expectError({"-cw", "39", "-r"}, SW_TOO_SMALL);
    expectError({"-a", "-r", "-cw"}, requiresValue("-cw"));
    expectError({"-cw", "5", "-s", "{P", "-i"},
                "Error: Poorly formatted set argument.\nIncomplete set at end of args.\n"
                "See mirekast -hs for requirements.\n");
    // -a beside a set passes; the set is still parsed.
    expectSettings({"-a", "-s", "{P", "-i", "a", "-c", "b}"}, "sw=80 cw=8 flags=0x20 sets=1");
}

TEST(CommandLine, OptionsAreWholeCaseSensitiveWords)
{
    ChildResult run = runProgram({"mirekast", "-R1"});
    EXPECT_EQ(run.err, "Error: Undefined argument \"-R1\"\n");
    EXPECT_EQ(run.exitCode, 3);
    run = runProgram({"mirekast", "-a", "-s", "{P", "-i", "a", "-c", "b}", "c"});
    EXPECT_EQ(run.err, "Error: Undefined argument \"c\"\n");
    EXPECT_EQ(run.exitCode, 3);
}

} // namespace

// The help, set help and version texts, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"
#include "support/golden_case.h"

namespace {

// The texts as the whole-program cases "help" and "help-on-sets" of
// tests/data/golden expect them, for a program invoked as `programName`
// rather than "mirekast".
std::string withProgramName(std::string text, const std::string& programName)
{
    const std::string invoked = "mirekast";
    for (size_t at = text.find(invoked); at != std::string::npos;
         at = text.find(invoked, at + programName.size())) {
        text.replace(at, invoked.size(), programName);
    }
    return text;
}

std::string helpText(const std::string& programName)
{
    return withProgramName(goldenCase("help").out, programName);
}

std::string setHelpText(const std::string& programName)
{
    return withProgramName(goldenCase("help-on-sets").out, programName);
}

void expectRun(const ChildResult& run, const std::string& out, const std::string& err, int code)
{
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.exitCode, code);
}

// The texts themselves, with exit code 0, are the cases "help", "help-on-sets"
// and "version" of tests/data/golden (golden_test.cpp).

TEST(HelpTexts, ProgramNameIsPrintedAsInvokedEvenWithBlanks)
{
    const std::string name = "/opt/my tools/mirekast";
    expectRun(runProgram({name, "-h"}), helpText(name), "", 0);
    ChildResult setHelp = runProgram({name, "-hs"});
    expectRun(setHelp, setHelpText(name), "", 0);
    size_t examples = 0;
    for (size_t at = setHelp.out.find(name); at != std::string::npos;
         at = setHelp.out.find(name, at + 1)) {
        examples++;
    }
    EXPECT_EQ(examples, 5u);
}

TEST(HelpTexts, PercentSignsInProgramNameAndTextStayLiteral)
{
    ChildResult run = runProgram({"100%s%d", "-hs"});
    expectRun(run, setHelpText("100%s%d"), "", 0);
    EXPECT_NE(run.out.find("\"% Processor Time\" \"% User Time\"\n"), std::string::npos);
}

TEST(HelpTexts, HelpVersionActAtOnceIgnoringLaterArguments)
{
    expectRun(runProgram({"m", "-v", "-x", "-cw"}), "Mirekast: Mirekast version 1.0\n\n", "", 0);
    expectRun(runProgram({"m", "-a", "-r", "-h", "junk"}), helpText("m"), "", 0);
    expectRun(runProgram({"m", "-s", "{P", "-i", "a", "-c", "b}", "-hs", "{"}), setHelpText("m"),
              "", 0);
}

TEST(HelpTexts, UndefinedArgumentPrintsMessageThenHelpAndExitsThree)
{
    for (const char* argument : {"-H", "-A", "--h", "-f", "-dl", "x", "", "-cw5"}) {
        SCOPED_TRACE(argument);
        expectRun(runProgram({"mirekast", argument}), helpText("mirekast"),
                  std::string("Error: Undefined argument \"") + argument + "\"\n", 3);
    }
    // An earlier error wins: -x is reported before -v is seen.
    expectRun(runProgram({"m", "-x", "-v"}), helpText("m"), "Error: Undefined argument \"-x\"\n",
              3);
}

} // namespace

// The long options: where they are read, their values and errors, and the
// texts of --help and --version.
#include "cli/long_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/run_settings.h"
#include "support/child_process.h"

namespace {

const char SET_HELP_HINT[] = "See mirekast -hs for requirements.\n";

// Parses in a child and reports what the long options left, or the error.
ChildResult parseOnly(std::vector<std::string> args)
{
    args.insert(args.begin(), "mirekast");
    return runInChild([&args] {
        std::vector<char*> argv = argumentVector(args);
        NodeList* setList = parseCommandLine(static_cast<int>(args.size()), argv.data());
        printf("count=%u interval=%u format=%d flags=0x%02x sets=%u\n", longOptions.passCount,
               longOptions.intervalMillis, static_cast<int>(longOptions.format),
               runSettings.flags, setList->count);
        destroyTree(setList);
        return 0;
    });
}

void expectParsed(const std::vector<std::string>& args, const std::string& settings)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseOnly(args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, settings + "\n");
    EXPECT_EQ(run.exitCode, 0);
}

void expectRefused(const std::vector<std::string>& args, const std::string& option,
                   const std::string& needs)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseOnly(args);
    EXPECT_EQ(run.err, "Error: Argument \"" + option + "\" requires " + needs + ".\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitCode, 4);
}

TEST(LongOptions, ValuesFollowAsTheNextArgumentOrAfterAnEqualsSign)
{
    expectParsed({"-a"}, "count=0 interval=1000 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--count", "3"}, "count=3 interval=1000 format=0 flags=0x20 sets=0");
    expectParsed({"--count=3", "-a"}, "count=3 interval=1000 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--interval", "0.2"}, "count=0 interval=200 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--interval=2.5"}, "count=0 interval=2500 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--interval", ".1"}, "count=0 interval=100 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--interval", "86400"},
                 "count=0 interval=86400000 format=0 flags=0x20 sets=0");
    expectParsed({"-a", "--format", "csv"}, "count=0 interval=1000 format=1 flags=0x20 sets=0");
    expectParsed({"-a", "--format=json"}, "count=0 interval=1000 format=2 flags=0x20 sets=0");
    expectParsed({"-a", "--format", "prometheus", "--count", "2"},
                 "count=2 interval=1000 format=3 flags=0x20 sets=0");
    // A value is taken whatever it looks like, as -cw takes its own.
    expectRefused({"-a", "--format", "-d"}, "--format", "csv, json or prometheus");
}

TEST(LongOptions, TheLaterValueReplacesTheEarlier)
{
    expectParsed({"-a", "--count", "5", "--count=2", "--format", "csv", "--format", "json",
                  "--interval", "3", "--interval", "0.5"},
                 "count=2 interval=500 format=2 flags=0x20 sets=0");
}

TEST(LongOptions, CountMayBoundRepeatAndGoesWithAllObjects)
{
    expectParsed({"-r", "--count", "4", "-s", "{P", "-i", "a", "-c", "b}"},
                 "count=4 interval=1000 format=0 flags=0x40 sets=1");
    expectParsed({"-r1", "--count", "2", "-s", "{P", "-i", "a", "-c", "b}"},
                 "count=2 interval=1000 format=0 flags=0x80 sets=1");
    // -a still refuses -r and -r1; --count is what gives it a second pass.
    ChildResult run = parseOnly({"-a", "-r", "--count", "2"});
    EXPECT_EQ(run.err, "Error: -s and -a options are mutually exclusive.\n");
    EXPECT_EQ(run.exitCode, 4);
}

TEST(LongOptions, BadValuesAreRefusedWithExitFour)
{
    expectRefused({"-a", "--count"}, "--count", "value");
    expectRefused({"-a", "--interval"}, "--interval", "value");
    expectRefused({"-a", "--format"}, "--format", "value");
    expectRefused({"-a", "--count", "0"}, "--count", "value from 1 to 4294967295");
    expectRefused({"-a", "--count", "000"}, "--count", "value from 1 to 4294967295");
    expectRefused({"-a", "--count", "-1"}, "--count", "integer value");
    expectRefused({"-a", "--count", "2.0"}, "--count", "integer value");
    expectRefused({"-a", "--count="}, "--count", "integer value");
    expectRefused({"-a", "--count", "4294967296"}, "--count", "value from 1 to 4294967295");
    expectRefused({"-a", "--count", "99999999999999999999999"}, "--count",
                  "value from 1 to 4294967295");
    expectRefused({"-a", "--count", "99999999999x"}, "--count", "integer value");
    expectParsed({"-a", "--count", "4294967295"}, "count=4294967295 interval=1000 format=0 flags=0x20 sets=0");
    expectRefused({"-a", "--interval", "0.09"}, "--interval", "value from 0.1 to 86400");
    expectRefused({"-a", "--interval", "0"}, "--interval", "value from 0.1 to 86400");
    expectRefused({"-a", "--interval", "86400.5"}, "--interval", "value from 0.1 to 86400");
    expectRefused({"-a", "--interval", "1e3"}, "--interval", "decimal value");
    expectRefused({"-a", "--interval", "-1"}, "--interval", "decimal value");
    expectRefused({"-a", "--interval", "1.2.3"}, "--interval", "decimal value");
    expectRefused({"-a", "--interval", "."}, "--interval", "decimal value");
    expectRefused({"-a", "--format", "CSV"}, "--format", "csv, json or prometheus");
    expectRefused({"-a", "--format="}, "--format", "csv, json or prometheus");
    // A value error ends the parse where it stands, before the final checks.
    expectRefused({"--count", "0", "-cw", "5"}, "--count", "value from 1 to 4294967295");
}

TEST(LongOptions, PrometheusNeedsAnEndToPrintItsExposition)
{
    expectRefused({"-r", "--format", "prometheus", "-s", "{P", "-i", "a", "-c", "b}"}, "-r",
                  "--count with --format prometheus");
    expectParsed({"-r", "--format", "prometheus", "--count", "3", "-s", "{P", "-i", "a", "-c",
                  "b}"},
                 "count=3 interval=1000 format=3 flags=0x40 sets=1");
    // The checks that were there come first.
    ChildResult run = parseOnly({"-r", "--format", "prometheus"});
    EXPECT_EQ(run.err, "Error: No performance data requested.  Use -a or -s.\n");
}

TEST(LongOptions, OtherDoubleDashWordsStayUndefined)
{
    ChildResult help = runProgram({"mirekast", "-h"});
    for (const char* word : {"--h", "--x", "--", "--counts", "--help=1", "--version=2", "--Count",
                             "-count", "---count"}) {
        SCOPED_TRACE(word);
        ChildResult run = runProgram({"mirekast", "-a", word, "1"});
        EXPECT_EQ(run.err, std::string("Error: Undefined argument \"") + word + "\"\n");
        EXPECT_EQ(run.out, help.out);
        EXPECT_EQ(run.exitCode, 3);
    }
}

TEST(LongOptions, InsideASetTheyAreSetArguments)
{
    ChildResult run = runProgram({"mirekast", "-s", "{P", "-i", "--count", "2", "-c", "b}"});
    EXPECT_EQ(run.err, std::string("Error: Unknown set argument: \"--count\"\n") + SET_HELP_HINT);
    EXPECT_EQ(run.exitCode, 4);
    run = runProgram({"mirekast", "-s", "{P", "-i", "a", "-c", "--help}"});
    EXPECT_EQ(run.err, std::string("Error: Unknown set argument: \"--help}\"\n") + SET_HELP_HINT);
    EXPECT_EQ(run.exitCode, 4);
}

// The options a help text names: the first word of each line that starts
// with a tab and a dash.
std::vector<std::string> optionsOf(const std::string& text)
{
    std::vector<std::string> options;
    size_t at = 0;
    while ((at = text.find("\n\t-", at)) != std::string::npos) {
        at += 2;
        options.push_back(text.substr(at, text.find_first_of(" \t\n", at) - at));
    }
    return options;
}

TEST(LongOptions, HelpNamesEveryOptionTheProgramTakesAndOnlyThose)
{
    ChildResult shortHelp = runProgram({"/opt/my tools/mirekast", "-h"});
    ChildResult run = runProgram({"/opt/my tools/mirekast", "--help", "--x"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Usage:\t/opt/my tools/mirekast [-options] [option args]\n\n", 0), 0u);
    std::vector<std::string> expected = {"-h", "-hs", "--help", "-v", "--version", "-sw", "-cw",
                                         "-L", "-LO", "-l", "-ll", "-r", "-r1", "-a", "-d", "-s",
                                         "--count", "--interval", "--format"};
    EXPECT_EQ(optionsOf(run.out), expected);
    // Every short option of -h is among them, and -h's "-f" (there is none) is not.
    for (const std::string& option : optionsOf(shortHelp.out)) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), option), expected.end()) << option;
    }
    for (size_t at = run.out.find("-f"); at != std::string::npos; at = run.out.find("-f", at + 1)) {
        EXPECT_EQ(run.out.compare(at - 1, 8, "--format"), 0) << run.out.substr(at - 1, 10);
    }
    EXPECT_EQ(run.out.find("unsigned long"), std::string::npos);
    // Each option that takes a value says its type and range.
    for (const char* line : {"\t-sw [Decimal Integer]\t", "\t-cw [Decimal Integer]\t",
                             "\t--count [Decimal Integer]\t", "(1 to 4294967295)",
                             "\t--interval [Decimal Seconds]\t", "(0.1 to 86400",
                             "\t--format [csv|json|prometheus]\t"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
    }
    // One list of exit codes, 0 to 5, each once.
    for (const char* code : {"\t0 - ", "\t1 - ", "\t2 - ", "\t3 - ", "\t4 - ", "\t5 - "}) {
        size_t first = run.out.find(code);
        EXPECT_NE(first, std::string::npos) << code;
        EXPECT_EQ(run.out.find(code, first + 1), std::string::npos) << code;
    }
    EXPECT_EQ(run.out.find("\t6 - "), std::string::npos);
    // The value types it states are the ones taken.
    EXPECT_EQ(runProgram({"mirekast", "-a", "-l", "--count", "4294967295", "-LO"}).exitCode, 0);
    EXPECT_EQ(runProgram({"mirekast", "-a", "--interval", "86400", "-LO"}).exitCode, 0);
    EXPECT_EQ(runProgram({"mirekast", "-a", "--interval", "0.1", "-LO"}).exitCode, 0);
    // An error before --help still wins, as before -h.
    run = runProgram({"mirekast", "--count", "0", "--help"});
    EXPECT_EQ(run.exitCode, 4);
}

TEST(LongOptions, VersionIsTheBannerOfMinusV)
{
    ChildResult run = runProgram({"mirekast", "--version", "--bogus"});
    EXPECT_EQ(run.out, "Mirekast: Mirekast version 1.0\n\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

} // namespace

// The sets after -s: the setList they build and every format error.
#include "cli/set_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "support/child_process.h"

namespace {

// Renders setList as "Set{inst[c1,c2] inst2[c]}" entries joined by " ".
std::string describe(const NodeList* setList)
{
    std::string text;
    for (const Node* set = setList->head; set != nullptr; set = set->next) {
        if (!text.empty()) {
            text += " ";
        }
        text += std::string(set->name) + "{";
        for (const Node* instance = set->childList->head; instance != nullptr;
             instance = instance->next) {
            text += std::string(instance == set->childList->head ? "" : " ") + instance->name + "[";
            for (const Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                text += std::string(counter == instance->childList->head ? "" : ",") +
                        counter->name;
                EXPECT_EQ(counter->childList, nullptr);
                EXPECT_EQ(counter->parentList, instance->childList);
            }
            text += "]";
            EXPECT_EQ(instance->parentList, set->childList);
        }
        text += "}";
        EXPECT_EQ(set->parentList, setList);
    }
    return text;
}

// Parses in a child (errors end the process) and prints the sets.
ChildResult parseSets(std::vector<std::string> args, const std::string& programName = "mirekast")
{
    args.insert(args.begin(), programName);
    return runInChild([&args] {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(&arg[0]);
        }
        NodeList* setList = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        printf("%s\n", describe(setList).c_str());
        destroyTree(setList);
        return 0;
    });
}

void expectSets(const std::vector<std::string>& args, const std::string& sets)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseSets(args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, sets + "\n");
    EXPECT_EQ(run.exitCode, 0);
}

std::string formA(const std::string& argument, const std::string& reason)
{
    return "Error: Poorly formatted set argument: \"" + argument + "\"\n" + reason +
           "\nSee mirekast -hs for requirements.\n";
}

std::string formB(const std::string& argument)
{
    return "Error: Unknown set argument: \"" + argument + "\"\nSee mirekast -hs for requirements.\n";
}

std::string formC(const std::string& argument)
{
    return "Error: Poorly formatted set argument: \"" + argument +
           "\"\nExtra chars after close curly brace.\nSee mirekast -hs for requirements.\n";
}

const char INCOMPLETE[] = "Error: Poorly formatted set argument.\nIncomplete set at end of args.\n"
                          "See mirekast -hs for requirements.\n";
const char NO_OBJECT[] = "No Object specified.";
const char NO_INSTANCES[] = "No Instances specified.";
const char NO_COUNTERS[] = "No Counters specified.";

void expectSetError(const std::vector<std::string>& args, const std::string& message)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult run = parseSets(args);
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitCode, 4);
}

TEST(FindCloseBrace, SkipsEscapedCharacters)
{
    EXPECT_EQ(findCloseBrace(""), -1);
    EXPECT_EQ(findCloseBrace("abc"), -1);
    EXPECT_EQ(findCloseBrace("}"), 0);
    EXPECT_EQ(findCloseBrace("ab}c}"), 2);
    EXPECT_EQ(findCloseBrace("a\\}b}"), 4);
    EXPECT_EQ(findCloseBrace("a\\\\}"), 3);
    EXPECT_EQ(findCloseBrace("a\\}"), -1);
    EXPECT_EQ(findCloseBrace("a\\"), -1);
}

TEST(SetParser, ShapesOfTheWrittenForms)
{
    expectSets({"-s", "{Process", "-i", "*", "-c", "*}"}, "Process{*[*]}");
    expectSets({"-s", "{", "Process", "-i", "*", "-c", "*", "}"}, "Process{*[*]}");
    expectSets({"-s", "{Process", "-i", "*", "-c", "% Processor Time", "% User Time", "-i",
                "wish83", "gvim", "-c", "*}"},
               "Process{*[% Processor Time,% User Time] wish83[*] gvim[*]}");
    expectSets({"-s", "{Process", "-i", "a", "b", "-c", "x", "y}"}, "Process{a[x,y] b[x,y]}");
    expectSets({"-s", "{Process", "-i", "a", "-c", "x", "-i", "b", "-c", "y}"},
               "Process{a[x] b[y]}");
    // The first character after -s always stands for the brace.
    expectSets({"-s", "Process", "-i", "a", "-c", "b}"}, "rocess{a[b]}");
    // Two sets, even on one object, stay two, in command-line order.
    expectSets({"-s", "{Thread", "-i", "a", "-c", "b}", "-d", "-s", "{Process", "-i", "c", "-c",
                "d", "}", "-s", "{Thread", "-i", "e", "-c", "f}"},
               "Thread{a[b]} Process{c[d]} Thread{e[f]}");
}

TEST(SetParser, EscapedBracesStayInTheSpecs)
{
    expectSets({"-s", "{P", "-i", "a", "-c", "x\\}y}"}, "P{a[x\\}y]}");
    expectSets({"-s", "{P", "-i", "a\\}", "-c", "b\\}", "c}"}, "P{a\\}[b\\},c]}");
    expectSetError({"-s", "{P", "-i", "a", "-c", "b\\}"}, INCOMPLETE);
}

TEST(SetParser, OptionsInsideASetAreSetArguments)
{
    expectSetError({"-s", "{P", "-i", "-h"}, formB("-h"));
    expectSetError({"-s", "{P", "-i", "-d"}, formB("-d"));
    expectSetError({"-s", "{P", "-i", "a", "-c", "-s"}, formB("-s"));
    expectSetError({"-s", "{", "-v"}, formB("-v"));
    // Right after -s the first character stands for the brace: "-h" opens object "h".
    expectSetError({"-s", "-h"}, INCOMPLETE);
    expectSetError({"-s", "--h"}, formA("--h", NO_OBJECT));
}

TEST(SetParser, ErrorsAfterDashS)
{
    expectSetError({"-s", "{Process}"}, formA("{Process}", NO_INSTANCES));
    expectSetError({"-s", "{}"}, formA("{}", NO_OBJECT));
    expectSetError({"-s", "}"}, formA("}", NO_OBJECT));
    expectSetError({"-s", "{-i"}, formA("{-i", NO_OBJECT));
    expectSetError({"-s", ""}, formA("", NO_OBJECT));
    expectSetError({"-s"}, INCOMPLETE);
    expectSetError({"-a", "-s", "{P"}, INCOMPLETE);
}

TEST(SetParser, ErrorsAfterALoneBraceAndAfterTheObject)
{
    expectSetError({"-s", "{", "-i"}, formA("-i", NO_OBJECT));
    expectSetError({"-s", "{", "-c"}, formA("-c", NO_OBJECT));
    expectSetError({"-s", "{", "}"}, formA("}", NO_OBJECT));
    expectSetError({"-s", "{", "-x"}, formB("-x"));
    expectSetError({"-s", "{Process", "}"}, formA("}", NO_INSTANCES));
    expectSetError({"-s", "{Process", "-c", "x}"}, formA("-c", NO_INSTANCES));
    expectSetError({"-s", "{Process", "-i}"}, formA("-i}", NO_INSTANCES));
}

TEST(SetParser, ErrorsInInstanceSpecs)
{
    expectSetError({"-s", "{Process", "-i", "a}"}, formA("a}", NO_INSTANCES));
    expectSetError({"-s", "{Process", "-i", "a", "b}"}, formA("b}", NO_COUNTERS));
    expectSetError({"-s", "{Process", "-i", "-c", "x"}, formA("-c", NO_INSTANCES));
    // "-c}" holds a brace, so it is judged before any test of its leading '-'.
    expectSetError({"-s", "{Process", "-i", "a", "-c}"}, formA("-c}", NO_COUNTERS));
    expectSetError({"-s", "{Process", "-i", "a", "-i", "b"}, formB("-i"));
}

TEST(SetParser, ErrorsInCounterSpecs)
{
    expectSetError({"-s", "{Process", "-i", "a", "-c", "}"}, formA("}", NO_COUNTERS));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "-i"}, formA("-i", NO_COUNTERS));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "b", "-c", "d}"}, formB("-c"));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "-x}"}, formB("-x}"));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "b}c"}, formC("b}c"));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "}}"}, formC("}}"));
    expectSetError({"-s", "{Process", "-i", "a", "-c", "b"}, INCOMPLETE);
}

TEST(SetParser, SeeLineNamesTheProgramAsInvoked)
{
    ChildResult run = parseSets({"-s", "{P", "-i", "-q"}, "./my tool");
    EXPECT_EQ(run.err, "Error: Unknown set argument: \"-q\"\nSee ./my tool -hs for requirements.\n");
    run = parseSets({"-s"}, "/x/%s");
    EXPECT_EQ(run.err, "Error: Poorly formatted set argument.\nIncomplete set at end of args.\n"
                       "See /x/%s -hs for requirements.\n");
}

} // namespace

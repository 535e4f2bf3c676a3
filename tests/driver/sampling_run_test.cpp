// The program's whole flow against a scripted machine: registration, the
// sampling loop, the report and every way the run ends.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/memory.h"
#include "driver/program.h"
#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

const char NO_DATA[] = "Error: No performance data is available on the items you requested.\n";

// Memory without instances, Process with two instances of one name, Thread.
// "% Processor Time" needs two collections, as rates do.
void scriptMachine()
{
    scripted::reset();
    scripted::addObject("Memory", {"Available Bytes", "Pages/sec"});
    scripted::Object& process =
        scripted::addObject("Process", {"% Processor Time", "ID Process"}, {"idle", "sh", "sh"});
    process.twoSampleCounters = {"% Processor Time"};
    scripted::addObject("Thread", {"ID Thread"}, {"sh/0", "sh/1"});
    scripted::setValues("\\Memory\\Available Bytes", {scripted::value(4096)});
    scripted::setValues("\\Memory\\Pages/sec", {scripted::value(7)});
    scripted::setValues("\\Process(idle#0)\\ID Process", {scripted::value(0)});
    scripted::setValues("\\Process(sh#0)\\ID Process", {scripted::value(100)});
    scripted::setValues("\\Process(sh#1)\\ID Process", {scripted::value(200)});
    scripted::setValues("\\Process(idle#0)\\% Processor Time",
                        {scripted::value(0), scripted::value(99)});
    scripted::setValues("\\Process(sh#0)\\% Processor Time",
                        {scripted::value(0), scripted::value(5)});
    scripted::setValues("\\Process(sh#1)\\% Processor Time",
                        {scripted::value(0), scripted::value(12)});
    scripted::setValues("\\Thread(sh/0#0)\\ID Thread", {scripted::value(100)});
    scripted::setValues("\\Thread(sh/1#0)\\ID Thread", {scripted::value(101)});
}

// Runs the program in a child; when it returns, the layer's record of the
// calls that steer the flow (query, collections, sleeps, key polls, console)
// is written to standard error, one per line.
ChildResult runRecorded(std::vector<std::string> args)
{
    args.insert(args.begin(), "mirekast");
    return runInChild([&args] {
        std::vector<char*> argv = argumentVector(args);
        int code = programMain(static_cast<int>(args.size()), argv.data());
        for (const std::string& event : scripted::events()) {
            if (event.rfind("PdhAddCounterA", 0) != 0 &&
                event.rfind("PdhGetFormattedCounterValue", 0) != 0 &&
                event.rfind("PdhEnumObject", 0) != 0) {
                fprintf(stderr, "%s\n", event.c_str());
            }
        }
        return code;
    });
}

std::string lines(const std::vector<std::string>& texts)
{
    std::string text;
    for (const std::string& line : texts) {
        text += line + "\n";
    }
    return text;
}

const std::string ALL_TABLES = R"(_____________________________________Memory____________________________________
|                         |Available Bytes          |Pages/sec                |
|-------------------------+-------------------------+-------------------------|
|UNNAMED                  |00001000                 |00000007                 |
|-------------------------+-------------------------+-------------------------|




____________________________________Process____________________________________
|                         |% Processor Time         |ID Process               |
|-------------------------+-------------------------+-------------------------|
|idle                     |ffffffff                 |00000000                 |
|-------------------------+-------------------------+-------------------------|
|sh                       |ffffffff                 |000000c8                 |
|-------------------------+-------------------------+-------------------------|
|sh                       |ffffffff                 |00000064                 |
|-------------------------+-------------------------+-------------------------|




_____________________________________Thread____________________________________
|                                      |ID Thread                             |
|--------------------------------------+--------------------------------------|
|sh/0                                  |00000064                              |
|--------------------------------------+--------------------------------------|
|sh/1                                  |00000065                              |
|--------------------------------------+--------------------------------------|




)";

const std::string ALL_LIST = R"(Memory : UNNAMED : Available Bytes = 0x00001000
Memory : UNNAMED : Pages/sec = 0x00000007
Process : idle : % Processor Time = 0xffffffff
Process : idle : ID Process = 0x00000000
Process : sh : % Processor Time = 0xffffffff
Process : sh : ID Process = 0x000000c8
Process : sh : % Processor Time = 0xffffffff
Process : sh : ID Process = 0x00000064
Thread : sh/0 : ID Thread = 0x00000064
Thread : sh/1 : ID Thread = 0x00000065
)";

const std::string ALL_LONG_LIST_DECIMAL = R"(Performance Object: Memory
  Performance Object Instance: UNNAMED
    Performance Object Instance Counter: Available Bytes = 4096
    Performance Object Instance Counter: Pages/sec = 7
Performance Object: Process
  Performance Object Instance: idle
    Performance Object Instance Counter: % Processor Time = -1
    Performance Object Instance Counter: ID Process = 0
  Performance Object Instance: sh
    Performance Object Instance Counter: % Processor Time = -1
    Performance Object Instance Counter: ID Process = 200
  Performance Object Instance: sh
    Performance Object Instance Counter: % Processor Time = -1
    Performance Object Instance Counter: ID Process = 100
Performance Object: Thread
  Performance Object Instance: sh/0
    Performance Object Instance Counter: ID Thread = 100
  Performance Object Instance: sh/1
    Performance Object Instance Counter: ID Thread = 101
)";

const std::string PROCESSOR_TIME_TWO_COLLECTIONS = R"(____________________________________Process____________________________________
|                                      |% Processor Time                      |
|--------------------------------------+--------------------------------------|
|idle                                  |00000063                              |
|--------------------------------------+--------------------------------------|
|sh                                    |0000000c                              |
|--------------------------------------+--------------------------------------|
|sh                                    |00000005                              |
|--------------------------------------+--------------------------------------|




)";

const std::string PROCESSOR_TIME_ONE_COLLECTION = R"(____________________________________Process____________________________________
|                                      |% Processor Time                      |
|--------------------------------------+--------------------------------------|
|idle                                  |ffffffff                              |
|--------------------------------------+--------------------------------------|
|sh                                    |ffffffff                              |
|--------------------------------------+--------------------------------------|
|sh                                    |ffffffff                              |
|--------------------------------------+--------------------------------------|




)";

const std::string TWO_SETS_ON_PROCESS = R"(________________Process________________
|           |% Processor|ID Process |
|           | Time      |           |
|-----------+-----------+-----------|
|sh         |4294967295 |200        |
|-----------+-----------+-----------|
|sh         |4294967295 |100        |
|-----------+-----------+-----------|




________________Process________________
|                  |ID Process        |
|------------------+------------------|
|idle              |0                 |
|------------------+------------------|




)";

const std::string PROCESS_BEFORE_THREAD = R"(________________Process________________
|                  |ID Process        |
|------------------+------------------|
|sh                |200               |
|------------------+------------------|
|sh                |100               |
|------------------+------------------|




_________________Thread________________
|                  |ID Thread         |
|------------------+------------------|
|sh/0              |100               |
|------------------+------------------|




)";

TEST(SamplingRun, AllObjectsInTablesListAndLongList)
{
    scriptMachine();
    ChildResult run = runRecorded({"-a"});
    EXPECT_EQ(run.out, ALL_TABLES);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);

    run = runProgram({"mirekast", "-l", "-a"});
    EXPECT_EQ(run.out, ALL_LIST);
    EXPECT_EQ(run.exitCode, 0);

    run = runProgram({"mirekast", "-a", "-ll", "-d"});
    EXPECT_EQ(run.out, ALL_LONG_LIST_DECIMAL);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, AllObjectsBesideASetSamplesEverything)
{
    scriptMachine();
    ChildResult run = runProgram({"mirekast", "-s", "{Thread", "-i", "sh/0", "-c", "*}", "-a"});
    EXPECT_EQ(run.out, ALL_TABLES);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, RepeatOnceCollectsTwiceASecondApartForRates)
{
    scriptMachine();
    const std::vector<std::string> set = {"-s", "{Process", "-i", "*", "-c", "% Processor Time}"};
    ChildResult once = runRecorded(set);
    EXPECT_EQ(once.out, PROCESSOR_TIME_ONE_COLLECTION);
    EXPECT_EQ(once.exitCode, 0);

    std::vector<std::string> twice = set;
    twice.push_back("-r1");
    ChildResult run = runRecorded(twice);
    EXPECT_EQ(run.out, PROCESSOR_TIME_TWO_COLLECTIONS);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 1000",
                              "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, RepeatSamplesEverySecondUntilAKeyIsWaiting)
{
    scriptMachine();
    scripted::keyWaitingFromPoll(3);
    ChildResult run = runRecorded({"-r", "-s", "{Process", "-i", "*", "-c", "% Processor Time}"});
    // The first pass has one collection behind it, the second two.
    EXPECT_EQ(run.out, PROCESSOR_TIME_ONE_COLLECTION + PROCESSOR_TIME_TWO_COLLECTIONS);
    EXPECT_EQ(run.err,
              lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                     "PdhCollectQueryData", "sleepMilliseconds 1000", "keyPressWaiting",
                     "PdhCollectQueryData", "sleepMilliseconds 1000", "keyPressWaiting",
                     "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, RepeatWithRepeatOnceCollectsTwicePerPass)
{
    scriptMachine();
    scripted::keyWaitingFromPoll(2);
    ChildResult run =
        runRecorded({"-r", "-r1", "-s", "{Process", "-i", "*", "-c", "% Processor Time}"});
    EXPECT_EQ(run.out, PROCESSOR_TIME_TWO_COLLECTIONS);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 1000",
                              "PdhCollectQueryData", "sleepMilliseconds 1000", "keyPressWaiting",
                              "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, CountTakesThatManyPassesAnIntervalApartAndEnds)
{
    scriptMachine();
    ChildResult run = runRecorded({"-s", "{Process", "-i", "*", "-c", "% Processor Time}",
                                   "--count", "3", "--interval", "0.2"});
    EXPECT_EQ(run.out, PROCESSOR_TIME_ONE_COLLECTION + PROCESSOR_TIME_TWO_COLLECTIONS +
                           PROCESSOR_TIME_TWO_COLLECTIONS);
    // No sleep after the last pass.
    EXPECT_EQ(run.err,
              lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                     "PdhCollectQueryData", "sleepMilliseconds 200", "keyPressWaiting",
                     "PdhCollectQueryData", "sleepMilliseconds 200", "keyPressWaiting",
                     "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, CountBoundsRepeatAndAKeyStillEndsItEarly)
{
    scriptMachine();
    const std::vector<std::string> args = {"-r", "--count=2", "-s", "{Memory", "-i", "*", "-c",
                                           "Pages/sec}"};
    ChildResult run = runRecorded(args);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 1000", "keyPressWaiting",
                              "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);

    scripted::keyWaitingFromPoll(2);
    std::vector<std::string> longer = args;
    longer.insert(longer.end(), {"--count", "50"});
    run = runRecorded(longer);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 1000", "keyPressWaiting",
                              "endConsoleSampling", "PdhCloseQuery"}));
}

TEST(SamplingRun, IntervalAlsoSpacesTheTwoCollectionsOfRepeatOnce)
{
    scriptMachine();
    ChildResult run = runRecorded({"-r1", "--interval", "0.5", "--count", "2", "-s", "{Process",
                                   "-i", "*", "-c", "% Processor Time}"});
    EXPECT_EQ(run.out, PROCESSOR_TIME_TWO_COLLECTIONS + PROCESSOR_TIME_TWO_COLLECTIONS);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 500",
                              "PdhCollectQueryData", "sleepMilliseconds 500", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepMilliseconds 500",
                              "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
}

TEST(SamplingRun, AllObjectsWithCountGiveTheRatesOnTheSecondPass)
{
    scriptMachine();
    ChildResult run = runProgram({"mirekast", "-a", "-l", "--count", "2"});
    const std::string secondPass =
        R"(Memory : UNNAMED : Available Bytes = 0x00001000
Memory : UNNAMED : Pages/sec = 0x00000007
Process : idle : % Processor Time = 0x00000063
Process : idle : ID Process = 0x00000000
Process : sh : % Processor Time = 0x0000000c
Process : sh : ID Process = 0x000000c8
Process : sh : % Processor Time = 0x00000005
Process : sh : ID Process = 0x00000064
Thread : sh/0 : ID Thread = 0x00000064
Thread : sh/1 : ID Thread = 0x00000065
)";
    EXPECT_EQ(run.out, ALL_LIST + secondPass);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, KeyWaitingBeforeTheFirstPassSamplesNothing)
{
    scriptMachine();
    scripted::keyWaitingFromPoll(1);
    ChildResult run = runRecorded({"-r", "-s", "{Memory", "-i", "*", "-c", "*}"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, AFailedCollectionDoesNotEndRepeat)
{
    scriptMachine();
    scripted::answerCall(scripted::COLLECT_QUERY_DATA, 1, PDH_NO_DATA);
    scripted::keyWaitingFromPoll(3);
    ChildResult run = runRecorded({"-r", "-l", "-d", "-s", "{Memory", "-i", "*", "-c", "*}"});
    // Nothing was collected in the first pass, so its fetches fail.
    EXPECT_EQ(run.out, "Memory : UNNAMED : Available Bytes = -1\n"
                       "Memory : UNNAMED : Pages/sec = -1\n"
                       "Memory : UNNAMED : Available Bytes = 4096\n"
                       "Memory : UNNAMED : Pages/sec = 7\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, RepeatEndsAfterThePassInWhichWritingFailed)
{
    scriptMachine();
    ChildResult run = runInChild([] {
        // Standard output becomes a pipe nobody reads.  The real console
        // ignores SIGPIPE for the loop; the scripted one leaves that to us.
        signal(SIGPIPE, SIG_IGN);
        int ends[2];
        if (pipe(ends) != 0) {
            return 99;
        }
        close(ends[0]);
        dup2(ends[1], 1);
        close(ends[1]);
        std::vector<std::string> args = {"mirekast", "-r", "-s", "{Memory", "-i", "*", "-c", "*}"};
        std::vector<char*> argv = argumentVector(args);
        int code = programMain(static_cast<int>(args.size()), argv.data());
        fprintf(stderr, "collections %d polls %d closes %d\n",
                scripted::callCount(scripted::COLLECT_QUERY_DATA), scripted::keyPolls(),
                scripted::callCount(scripted::CLOSE_QUERY));
        return code;
    });
    EXPECT_EQ(run.err, "collections 1 polls 2 closes 1\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, EachSetIsItsOwnTableInObjectNameOrder)
{
    scriptMachine();
    ChildResult run = runProgram({"mirekast", "-sw", "40", "-d", "-s", "{Process", "-i", "idle",
                                  "-c", "ID Process}", "-s", "{Process", "-i", "sh", "-c", "*}"});
    EXPECT_EQ(run.out, TWO_SETS_ON_PROCESS);
    EXPECT_EQ(run.exitCode, 0);

    run = runProgram({"mirekast", "-sw", "40", "-d", "-s", "{Thread", "-i", "sh/0", "-c", "*}",
                      "-s", "{Process", "-i", "sh", "-c", "ID Process", "}"});
    EXPECT_EQ(run.out, PROCESS_BEFORE_THREAD);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, SetsThatYieldNoCounterEndWithNoData)
{
    const std::vector<std::vector<std::string>> requests = {
        {"-s", "{Disk", "-i", "*", "-c", "*}"},
        {"-s", "{process", "-i", "*", "-c", "*}"},
        {"-s", "{Process", "-i", "bash", "-c", "*}"},
        {"-s", "{Process", "-i", "*", "-c", "Handle Count}"},
        {"-s", "{Memory", "-i", "UNNAMED", "-c", "*}"},
        {"-s", "{Thread", "-i", "sh/*", "-c", "*}"},
    };
    for (const std::vector<std::string>& request : requests) {
        SCOPED_TRACE(testing::PrintToString(request));
        scriptMachine();
        ChildResult run = runRecorded(request);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, NO_DATA);
        EXPECT_EQ(run.exitCode, 4);
    }

    scriptMachine();
    for (const char* path : {"\\Memory\\Available Bytes", "\\Memory\\Pages/sec"}) {
        scripted::refuseCounter(path);
    }
    ChildResult run = runRecorded({"-s", "{Memory", "-i", "*", "-c", "*}"});
    EXPECT_EQ(run.err, NO_DATA);
    EXPECT_EQ(run.exitCode, 4);

    // With -a the error can only come from a machine without objects.
    scripted::reset();
    run = runRecorded({"-a"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, NO_DATA);
    EXPECT_EQ(run.exitCode, 4);
}

TEST(SamplingRun, CounterPathsLongerThan511CharactersAreSkippedInEveryRun)
{
    // Each long name alone makes every path through it longer than 511
    // characters: an instance, a counter, an object without instances.
    const std::string longInstance(510, 'I');
    const std::string longCounter(510, 'C');
    const std::string longObject(600, 'O');
    auto scriptLongNames = [&] {
        scripted::reset();
        scripted::addObject("Long", {"c", longCounter}, {"i", longInstance});
        scripted::addObject(longObject, {"x"});
        scripted::setValues("\\Long(i#0)\\c", {scripted::value(5)});
    };
    // Runs the program; standard error gets every path tried, one per line.
    auto runShowingPaths = [](std::vector<std::string> args) {
        args.insert(args.begin(), "mirekast");
        return runInChild([&args] {
            std::vector<char*> argv = argumentVector(args);
            int code = programMain(static_cast<int>(args.size()), argv.data());
            for (const std::string& path : scripted::attemptedPaths()) {
                fprintf(stderr, "%s\n", path.c_str());
            }
            return code;
        });
    };

    scriptLongNames();
    ChildResult run = runShowingPaths({"-a", "-ll", "-d"});
    EXPECT_EQ(run.out, "Performance Object: Long\n"
                       "  Performance Object Instance: " + longInstance + "\n"
                       "  Performance Object Instance: i\n"
                       "    Performance Object Instance Counter: c = 5\n"
                       "Performance Object: " + longObject + "\n"
                       "  Performance Object Instance: UNNAMED\n");
    EXPECT_EQ(run.err, "\\Long(i#0)\\c\n");
    EXPECT_EQ(run.exitCode, 0);

    scriptLongNames();
    run = runShowingPaths({"-a"});
    EXPECT_NE(run.out.find("|i                                     |00000005"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "\\Long(i#0)\\c\n");
    EXPECT_EQ(run.exitCode, 0);

    scriptLongNames();
    run = runShowingPaths({"-s", "{Long", "-i", "*", "-c", "*}", "-l", "-d"});
    EXPECT_EQ(run.out, "Long : i : c = 5\n");
    EXPECT_EQ(run.err, "\\Long(i#0)\\c\n");
    EXPECT_EQ(run.exitCode, 0);

    scriptLongNames();
    run = runShowingPaths({"-s", "{Long", "-i", longInstance, "-c", "*}", "-s",
                           "{" + longObject, "-i", "*", "-c", "*}"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, NO_DATA);
    EXPECT_EQ(run.exitCode, 4);
}

TEST(SamplingRun, QueryThatCannotBeOpenedEndsWithTwo)
{
    scriptMachine();
    scripted::answerCall(scripted::OPEN_QUERY, 1, PDH_INVALID_ARGUMENT);
    ChildResult run = runRecorded({"-a"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Failed to open new query.\n");
    EXPECT_EQ(run.exitCode, 2);
}

TEST(SamplingRun, EveryExitCodeIsReachable)
{
    scriptMachine();
    EXPECT_EQ(runProgram({"mirekast", "-a", "-LO"}).exitCode, 0);
    scripted::answerCall(scripted::ENUM_OBJECTS, 1, PDH_INVALID_ARGUMENT);
    EXPECT_EQ(runProgram({"mirekast", "-a"}).exitCode, 2);
    scriptMachine();
    EXPECT_EQ(runProgram({"mirekast", "-x"}).exitCode, 3);
    EXPECT_EQ(runProgram({"mirekast", "-a", "-r"}).exitCode, 4);
    ChildResult run = runInChild([] {
        failAllocationNumber(allocationCount() + 40);
        std::vector<std::string> args = {"mirekast", "-a"};
        std::vector<char*> argv = argumentVector(args);
        return programMain(2, argv.data());
    });
    EXPECT_EQ(run.err, "Failed to allocate memory.\n");
    EXPECT_EQ(run.exitCode, 1);
}

} // namespace

// The program's whole flow against a scripted machine: registration, the
// sampling loop, the report and every way the run ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/memory.h"
#include "driver/program.h"
#include "support/child_process.h"
#include "support/golden_case.h"
#include "support/scripted/scenarios.h"
#include "support/scripted/scripted_layer.h"

namespace {

const char NO_DATA[] = "Error: No performance data is available on the items you requested.\n";

// Memory without instances, Process with two instances of one name, Thread;
// "% Processor Time" needs two collections, as rates do.
void scriptMachine()
{
    ASSERT_TRUE(scripted::loadScenario("machine"));
}

// What the whole-program case of that name expects on standard output.
std::string expectedOut(const std::string& caseName)
{
    return goldenCase(caseName).out;
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

// The record of a run on the schedule of the long options that collects once
// at the start and once after a sleep until each of `dueTimes`, then ends.
std::string scheduledCalls(const std::vector<int>& dueTimes)
{
    std::vector<std::string> calls = {"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                                      "PdhCollectQueryData"};
    for (int due : dueTimes) {
        calls.insert(calls.end(), {"sleepUntilMillis " + std::to_string(due), "keyPressWaiting",
                                   "PdhCollectQueryData"});
    }
    calls.insert(calls.end(), {"endConsoleSampling", "PdhCloseQuery"});
    return lines(calls);
}

// The list, the long list and -a beside a set are whole-program cases of
// tests/data/golden (golden_test.cpp); here, the calls behind one of them.
TEST(SamplingRun, AllObjectsCollectOnceWithTheConsoleSetUpAround)
{
    scriptMachine();
    ChildResult run = runRecorded({"-a"});
    EXPECT_EQ(run.out, expectedOut("all-objects-tables"));
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "endConsoleSampling", "PdhCloseQuery"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, RepeatOnceCollectsTwiceASecondApartForRates)
{
    scriptMachine();
    const std::vector<std::string> set = {"-s", "{Process", "-i", "*", "-c", "% Processor Time}"};
    ChildResult once = runRecorded(set);
    EXPECT_EQ(once.out, expectedOut("rates-after-one-collection"));
    EXPECT_EQ(once.exitCode, 0);

    std::vector<std::string> twice = set;
    twice.push_back("-r1");
    ChildResult run = runRecorded(twice);
    EXPECT_EQ(run.out, expectedOut("rates-after-two-collections"));
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
    EXPECT_EQ(run.out, expectedOut("rates-after-one-collection") +
                           expectedOut("rates-after-two-collections"));
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
    EXPECT_EQ(run.out, expectedOut("rates-after-two-collections"));
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
    EXPECT_EQ(run.out, expectedOut("rates-after-one-collection") + expectedOut("rates-after-two-collections") +
                           expectedOut("rates-after-two-collections"));
    // Each pass is due an interval after the one before on the run's own
    // clock; no sleep after the last pass.
    EXPECT_EQ(run.err, scheduledCalls({200, 400}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, CountBoundsRepeatAndAKeyStillEndsItEarly)
{
    scriptMachine();
    const std::vector<std::string> args = {"-r", "--count=2", "-s", "{Memory", "-i", "*", "-c",
                                           "Pages/sec}"};
    ChildResult run = runRecorded(args);
    EXPECT_EQ(run.err, scheduledCalls({1000}));
    EXPECT_EQ(run.exitCode, 0);

    scripted::keyWaitingFromPoll(2);
    std::vector<std::string> longer = args;
    longer.insert(longer.end(), {"--count", "50"});
    run = runRecorded(longer);
    EXPECT_EQ(run.err, lines({"PdhOpenQueryA", "beginConsoleSampling", "keyPressWaiting",
                              "PdhCollectQueryData", "sleepUntilMillis 1000", "keyPressWaiting",
                              "endConsoleSampling", "PdhCloseQuery"}));
}

TEST(SamplingRun, RepeatOnceWithCountSharesACollectionBetweenNeighbouringPasses)
{
    const std::vector<std::string> set = {"-s", "{Process", "-i", "*", "-c", "% Processor Time}"};
    for (bool repeat : {false, true}) {
        SCOPED_TRACE(repeat ? "-r -r1" : "-r1");
        scriptMachine();
        std::vector<std::string> args = set;
        args.insert(args.end(), {"-r1", "--interval", "0.5", "--count", "3"});
        if (repeat) {
            args.push_back("-r");
        }
        ChildResult run = runRecorded(args);
        // Three passes from four collections, each pass with its rates.
        EXPECT_EQ(run.out, expectedOut("rates-after-two-collections") +
                               expectedOut("rates-after-two-collections") +
                               expectedOut("rates-after-two-collections"));
        EXPECT_EQ(run.err, scheduledCalls({500, 1000, 1500}));
        EXPECT_EQ(run.exitCode, 0);
    }

    // Alone, or with --interval alone, one pass of two collections.
    for (int millis : {1000, 300}) {
        scriptMachine();
        std::vector<std::string> args = set;
        args.insert(args.end(), {"-r1", "--interval", millis == 1000 ? "1" : "0.3"});
        ChildResult run = runRecorded(args);
        EXPECT_EQ(run.out, expectedOut("rates-after-two-collections"));
        EXPECT_EQ(run.err, scheduledCalls({millis}));
    }
}

TEST(SamplingRun, APassThatOverrunsStartsTheNextAtOnceAndSkipsThePeriodsItMissed)
{
    scriptMachine();
    // The second collection takes 2.5 intervals of 200 ms, the others nothing.
    scripted::beforeCall(scripted::COLLECT_QUERY_DATA, 2, [] { scripted::advanceMonotonicClock(500); });
    ChildResult run = runRecorded({"-s", "{Memory", "-i", "*", "-c", "Pages/sec}", "-l", "-d",
                                   "--count", "4", "--interval", "0.2"});
    // Pass 2, due at 200, ends at 700: pass 3 belongs to the period begun at
    // 600 and starts at once; pass 4 is due at 800, on the grid.
    EXPECT_EQ(run.err, scheduledCalls({200, 600, 800}));
    EXPECT_EQ(run.out, "Memory : UNNAMED : Pages/sec = 7\n"
                       "Memory : UNNAMED : Pages/sec = 7\n"
                       "Memory : UNNAMED : Pages/sec = 7\n"
                       "Memory : UNNAMED : Pages/sec = 7\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, AnEndingSignalDuringAFormattedRunWaitsForTheRecordThenEndsTheProcess)
{
    auto printCalls = [] {
        for (const std::string& event : scripted::events()) {
            if (event.rfind("PdhCollect", 0) == 0 || event.rfind("sleep", 0) == 0 ||
                event.find("Console") != std::string::npos || event.find("Signal") != std::string::npos) {
                fprintf(stderr, "%s\n", event.c_str());
            }
        }
    };
    const std::vector<std::string> args = {"-s", "{Memory", "-i", "*", "-c", "Pages/sec}",
                                           "--count", "5", "--format", "csv"};
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        scriptMachine();
        scripted::beforeEndBySignal(printCalls);
        // Held while the collection of pass 2 runs: that pass is not printed.
        scripted::beforeCall(scripted::COLLECT_QUERY_DATA, 2,
                             [signalNumber] { scripted::sendEndingSignal(signalNumber); });
        ChildResult run = runRecorded(args);
        EXPECT_EQ(run.signal, signalNumber);
        EXPECT_EQ(run.err, lines({"beginConsoleSampling", "holdEndingSignals", "PdhCollectQueryData",
                                  "sleepUntilMillis 1000", "PdhCollectQueryData",
                                  "endConsoleSampling", "endByHeldSignal"}));
        // The header and the one whole row of pass 1.
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
        EXPECT_EQ(run.out.back(), '\n');
    }

    // Arriving while pass 1 is fetched and written: pass 1 is written whole,
    // and then the run ends.
    scriptMachine();
    scripted::beforeEndBySignal(printCalls);
    scripted::beforeCall(scripted::GET_FORMATTED_VALUE, 1, [] { scripted::sendEndingSignal(SIGHUP); });
    ChildResult whole = runRecorded(args);
    EXPECT_EQ(whole.signal, SIGHUP);
    // The sleep after it returns at once.
    EXPECT_EQ(whole.err, lines({"beginConsoleSampling", "holdEndingSignals", "PdhCollectQueryData",
                                "sleepUntilMillis 1000", "endConsoleSampling", "endByHeldSignal"}));
    EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'), 2) << whole.out;

    // A second signal ends the run at once, by itself.
    scriptMachine();
    scripted::beforeCall(scripted::COLLECT_QUERY_DATA, 3, [] {
        scripted::sendEndingSignal(SIGTERM);
        scripted::sendEndingSignal(SIGINT);
    });
    ChildResult run = runRecorded(args);
    EXPECT_EQ(run.signal, SIGINT);

    // Without --format nothing is held: the seed's way, ended at once.
    scriptMachine();
    scripted::beforeCall(scripted::COLLECT_QUERY_DATA, 2, [] { scripted::sendEndingSignal(SIGTERM); });
    run = runRecorded({"-s", "{Memory", "-i", "*", "-c", "Pages/sec}", "-l", "--count", "5"});
    EXPECT_EQ(run.signal, SIGTERM);
    EXPECT_EQ(run.out, "Memory : UNNAMED : Pages/sec = 0x00000007\n");
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
    EXPECT_EQ(run.out, expectedOut("all-objects-list") + secondPass);
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

// Runs the program with standard output on `output` (opened for writing;
// null: a pipe whose reader is gone), then writes the counts of collections,
// key polls and closes on standard error after what the program wrote there.
ChildResult runWritingTo(const char* output, std::vector<std::string> args)
{
    args.insert(args.begin(), "mirekast");
    return runInChild([output, &args] {
        signal(SIGPIPE, SIG_IGN);  // as the real console has it for the loop
        int fd = -1;
        int ends[2];
        if (output != nullptr) {
            fd = open(output, O_WRONLY);
        } else if (pipe(ends) == 0) {
            close(ends[0]);
            fd = ends[1];
        }
        if (fd < 0) {
            return 99;
        }
        dup2(fd, 1);
        close(fd);
        std::vector<char*> argv = argumentVector(args);
        int code = programMain(static_cast<int>(args.size()), argv.data());
        fprintf(stderr, "collections %d polls %d closes %d\n",
                scripted::callCount(scripted::COLLECT_QUERY_DATA), scripted::keyPolls(),
                scripted::callCount(scripted::CLOSE_QUERY));
        return code;
    });
}

TEST(SamplingRun, RepeatEndsAfterThePassInWhichWritingFailed)
{
    scriptMachine();
    ChildResult run = runWritingTo(nullptr, {"-r", "-s", "{Memory", "-i", "*", "-c", "*}"});
    EXPECT_EQ(run.err, "collections 1 polls 2 closes 1\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(SamplingRun, AFullDeviceIsAFailureToldAfterThePassAClosedPipeIsNot)
{
    const std::string full = "Error: Failed to write standard output: No space left on device.\n";
    struct Case {
        std::vector<std::string> args;
        std::string counts;  // the same whichever way the output failed
    };
    const Case cases[] = {
        {{"-a"}, "collections 1 polls 1 closes 1\n"},
        // Repeat mode ends after the pass in which writing failed.
        {{"-r", "-l", "-s", "{Memory", "-i", "*", "-c", "*}"}, "collections 1 polls 2 closes 1\n"},
        // The name listing, which opens no query.
        {{"-L", "-a"}, "collections 0 polls 0 closes 0\n"},
    };
    for (const Case& c : cases) {
        scriptMachine();
        ChildResult run = runWritingTo("/dev/full", c.args);
        EXPECT_EQ(run.err, full + c.counts) << c.args[0];
        EXPECT_EQ(run.exitCode, 5) << c.args[0];
        scriptMachine();
        run = runWritingTo(nullptr, c.args);
        EXPECT_EQ(run.err, c.counts) << c.args[0];
        EXPECT_EQ(run.exitCode, 0) << c.args[0];
    }

    // Output that can be written is no failure: the loop runs until the key.
    scriptMachine();
    scripted::keyWaitingFromPoll(3);
    ChildResult run = runWritingTo("/dev/null", cases[1].args);
    EXPECT_EQ(run.err, "collections 2 polls 3 closes 1\n");
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

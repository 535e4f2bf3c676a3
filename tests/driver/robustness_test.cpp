// The program under failing allocations and under random command lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/memory.h"
#include "driver/program.h"
#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

void scriptMachine()
{
    scripted::reset();
    scripted::addObject("Memory", {"Available Bytes", "Pages/sec"});
    scripted::addObject("Process", {"% Processor Time", "ID Process", "Working Set"},
                        {"idle", "sh", "sh", "init"});
    scripted::addObject("Thread", {"ID Thread", "Elapsed Time"}, {"sh/0", "sh/1"});
    scripted::setValues("\\Memory\\Available Bytes", {scripted::value(4096)});
    scripted::setValues("\\Process(sh#1)\\ID Process", {scripted::value(-5)});
    // -r ends after one pass instead of waiting for a key forever.
    scripted::keyWaitingFromPoll(2);
}

int runMain(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    return programMain(static_cast<int>(args.size()), argv.data());
}

int countPipe[2];

void reportAllocations()
{
    long count = allocationCount();
    if (write(countPipe[1], &count, sizeof count) != sizeof count) {
        _exit(98);
    }
}

// The number of allocations a run makes, however it ends.
long allocationsOf(const std::vector<std::string>& args)
{
    if (pipe(countPipe) != 0) {
        return -1;
    }
    long before = allocationCount();
    ChildResult run = runInChild([&args] {
        atexit(reportAllocations);
        return runMain(args);
    });
    close(countPipe[1]);
    long after = 0;
    bool got = read(countPipe[0], &after, sizeof after) == sizeof after;
    close(countPipe[0]);
    EXPECT_TRUE(got);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return after - before;
}

TEST(AllocationFailure, EveryAllocationOfARunEndsCleanlyWhenItFails)
{
    const std::vector<std::vector<std::string>> runs = {
        {"mirekast", "-h"},
        {"mirekast", "-s", "{Process", "-i", "a", "b", "-c", "x", "y", "-i", "c", "-c", "z}", "-hs"},
        {"mirekast", "-a", "-L"},
        {"mirekast", "-a"},
        {"mirekast", "-l", "-r1", "-s", "{Process", "-i", "*", "-c", "*}", "-s", "{Memory", "-i",
         "*", "-c", "Available Bytes}"},
    };
    long walked = 0;
    for (const std::vector<std::string>& args : runs) {
        SCOPED_TRACE(testing::PrintToString(args));
        scriptMachine();
        long total = allocationsOf(args);
        ASSERT_GT(total, 0);
        for (long n = 1; n <= total; n++) {
            ChildResult run = runInChild([&args, n] {
                failAllocationNumber(allocationCount() + n);
                return runMain(args);
            });
            ASSERT_EQ(run.err, "Failed to allocate memory.\n") << "allocation " << n;
            ASSERT_EQ(run.exitCode, 1) << "allocation " << n;
        }
        walked += total;
    }
    printf("allocation sites walked: %ld\n", walked);
}

// Words of the set grammar, the options and a few that fit nowhere.
const std::vector<std::string> TOKENS = {
    "-s", "{", "}", "{Process", "{Memory", "Process", "Thread", "-i", "-c", "*", "*}", "sh",
    "idle", "sh/0", "ID Process", "ID Process}", "Working Set", "Available Bytes}", "x\\}y}",
    "a}b", "-a", "-d", "-l", "-ll", "-L", "-LO", "-r", "-r1", "-cw", "-sw", "9", "40", "007",
    "-x", "", "}}", "-", "{-i", "\\", "-c}", "-i}", "UNNAMED", "\xff\xfe"};

// A command line the grammar allows: options, then one or two sets.
std::vector<std::string> grammaticalVector(std::mt19937& random)
{
    auto chance = [&random](int percent) { return int(random() % 100) < percent; };
    auto oneOf = [&random](const std::vector<std::string>& words) {
        return words[random() % words.size()];
    };
    std::vector<std::string> args = {"mirekast"};
    for (const char* flag : {"-d", "-l", "-ll", "-r", "-r1", "-L", "-LO", "-a"}) {
        if (chance(15)) {
            args.push_back(flag);
        }
    }
    if (chance(20)) {
        args.insert(args.end(), {oneOf({"-cw", "-sw"}), oneOf({"8", "12", "40", "100", "7"})});
    }
    int sets = 1 + int(random() % 2);
    for (int set = 0; set < sets; set++) {
        args.push_back("-s");
        std::string object = oneOf({"Process", "Memory", "Thread", "Disk"});
        if (chance(50)) {
            args.insert(args.end(), {"{", object});
        } else {
            args.push_back("{" + object);
        }
        int groups = 1 + int(random() % 2);
        for (int group = 0; group < groups; group++) {
            args.push_back("-i");
            for (int k = 1 + int(random() % 2); k > 0; k--) {
                args.push_back(oneOf({"*", "sh", "idle", "sh/0", "nobody"}));
            }
            args.push_back("-c");
            for (int k = 1 + int(random() % 2); k > 0; k--) {
                args.push_back(oneOf({"*", "ID Process", "Working Set", "ID Thread",
                                      "Available Bytes", "none"}));
            }
        }
        if (chance(50)) {
            args.push_back("}");
        } else {
            args.back() += "}";
        }
    }
    return args;
}

TEST(RandomCommandLines, EndWithAnExpectedCodeAndOutputOnTheRightStream)
{
    std::mt19937 random(20261207);
    const int vectors = 3000;
    int byCode[5] = {0, 0, 0, 0, 0};
    for (int v = 0; v < vectors; v++) {
        std::vector<std::string> args = grammaticalVector(random);
        // Most vectors are then broken in one or two places.
        for (int edits = int(random() % 3); edits > 0; edits--) {
            size_t at = 1 + random() % args.size();
            const std::string& token = TOKENS[random() % TOKENS.size()];
            switch (random() % 3) {
            case 0:
                args.insert(args.begin() + long(at), token);
                break;
            case 1:
                if (at < args.size()) {
                    args[at] = token;
                }
                break;
            default:
                if (at < args.size()) {
                    args.erase(args.begin() + long(at));
                }
                break;
            }
        }
        scriptMachine();
        ChildResult run = runInChild([&args] { return runMain(args); });
        SCOPED_TRACE(testing::PrintToString(args));
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 3 || run.exitCode == 4)
            << "exit " << run.exitCode << " signal " << run.signal << "\n" << run.err;
        byCode[run.exitCode]++;
        if (run.exitCode == 0) {
            ASSERT_EQ(run.err, "");
        } else if (run.exitCode == 3) {
            ASSERT_EQ(run.err.rfind("Error: Undefined argument \"", 0), 0u) << run.err;
            ASSERT_EQ(run.out.rfind("Usage:\tmirekast [-options] [option args]\n\n", 0), 0u);
        } else {
            ASSERT_EQ(run.out, "");
            ASSERT_EQ(run.err.rfind("Error: ", 0), 0u) << run.err;
        }
    }
    // The vectors must reach every outcome, or they test too little.
    EXPECT_GT(byCode[0], vectors / 10);
    EXPECT_GT(byCode[3], vectors / 20);
    EXPECT_GT(byCode[4], vectors / 10);
    printf("random vectors: %d (exit 0: %d, 3: %d, 4: %d)\n", vectors, byCode[0], byCode[3],
           byCode[4]);
}

} // namespace

// The scripted machine keeps the promises of the platform seam; the program's
// tests rely on them.
#include "support/scripted/scripted_layer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/console.h"

namespace {

class ScriptedLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scripted::reset();
        scripted::addObject("Process", {"ID Process", "% Processor Time"}, {"sh", "sh"});
        scripted::addObject("Memory", {"Available Bytes"});
    }
};

TEST_F(ScriptedLayerTest, EnumerationSizesFillsAndAnswersMoreDataWhenTooSmall)
{
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    PDH_STATUS status = PdhEnumObjectItemsA(nullptr, nullptr, "Process", nullptr, &counterSize,
                                            nullptr, &instanceSize, PERF_DETAIL_WIZARD, 0);
    EXPECT_TRUE(pdhStatusIs(status, PDH_MORE_DATA));
    EXPECT_EQ(counterSize, 29u); // "ID Process\0% Processor Time\0\0"
    EXPECT_EQ(instanceSize, 7u); // "sh\0sh\0\0"

    char counters[29];
    char instances[7];
    DWORD small = 6;
    status = PdhEnumObjectItemsA(nullptr, nullptr, "Process", counters, &counterSize, instances,
                                 &small, PERF_DETAIL_WIZARD, 0);
    EXPECT_TRUE(pdhStatusIs(status, PDH_MORE_DATA));
    EXPECT_EQ(small, 7u);

    status = PdhEnumObjectItemsA(nullptr, nullptr, "Process", counters, &counterSize, instances,
                                 &instanceSize, PERF_DETAIL_WIZARD, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(instances, 7), std::string("sh\0sh\0\0", 7));
    EXPECT_EQ(std::string(counters, 29), std::string("ID Process\0% Processor Time\0\0", 29));

    status = PdhEnumObjectItemsA(nullptr, nullptr, "Gone", nullptr, &counterSize, nullptr,
                                 &instanceSize, PERF_DETAIL_WIZARD, 0);
    EXPECT_TRUE(pdhStatusIs(status, PDH_CSTATUS_NO_OBJECT));
}

TEST_F(ScriptedLayerTest, AddCounterParsesTheThreePathForms)
{
    PDH_HQUERY query = nullptr;
    ASSERT_EQ(PdhOpenQueryA(nullptr, 1, &query), 0);
    PDH_HCOUNTER counter = nullptr;
    struct Case {
        const char* path;
        DWORD status;
    };
    const Case cases[] = {
        {"\\Process(sh#1)\\ID Process", 0},
        {"\\Process(sh)\\% Processor Time", 0},
        {"\\Process(vi#0)\\ID Process", 0}, // no such instance: accepted, fetch fails
        {"\\Memory\\Available Bytes", 0},
        {"\\Memory(x)\\Available Bytes", 0},
        {"\\Nothing\\Available Bytes", PDH_CSTATUS_NO_OBJECT},
        {"\\Process(sh#0)\\Handles", PDH_CSTATUS_NO_COUNTER},
        {"Memory\\Available Bytes", PDH_CSTATUS_BAD_COUNTERNAME},
        {"\\Memory", PDH_CSTATUS_BAD_COUNTERNAME},
        {"\\Memory\\", PDH_CSTATUS_BAD_COUNTERNAME},
        {"\\Process()\\ID Process", PDH_CSTATUS_BAD_COUNTERNAME},
        {"\\Process(sh\\ID Process", PDH_CSTATUS_BAD_COUNTERNAME},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(pdhStatusIs(PdhAddCounterA(query, c.path, 0, &counter), c.status)) << c.path;
    }
    EXPECT_EQ(scripted::attemptedPaths().size(), 12u);
    EXPECT_EQ(scripted::acceptedPaths().size(), 5u);
    EXPECT_TRUE(pdhStatusIs(PdhAddCounterA(nullptr, "\\Memory\\Available Bytes", 0, &counter),
                            PDH_INVALID_HANDLE));
    PdhCloseQuery(query);
}

TEST_F(ScriptedLayerTest, FetchesFollowCollectionsAndEndWithTheQuery)
{
    scripted::setValues("\\Process(sh#1)\\ID Process", {scripted::value(5), scripted::value(6)});
    PDH_HQUERY query = nullptr;
    ASSERT_EQ(PdhOpenQueryA(nullptr, 1, &query), 0);
    EXPECT_TRUE(pdhStatusIs(PdhCollectQueryData(query), PDH_NO_DATA));
    PDH_HCOUNTER counter = nullptr;
    ASSERT_EQ(PdhAddCounterA(query, "\\Process(sh#1)\\ID Process", 0, &counter), 0);
    EXPECT_EQ(scripted::counterPath(counter), "\\Process(sh#1)\\ID Process");

    PDH_FMT_COUNTERVALUE value = {};
    EXPECT_TRUE(pdhStatusIs(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value),
                            PDH_INVALID_DATA));
    std::vector<LONG> seen;
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(PdhCollectQueryData(query), 0);
        ASSERT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value), 0);
        seen.push_back(value.longValue);
    }
    EXPECT_EQ(seen, (std::vector<LONG>{5, 6, 6}));
    ASSERT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_DOUBLE, nullptr, &value), 0);
    EXPECT_EQ(value.doubleValue, 6.0);
    EXPECT_TRUE(pdhStatusIs(PdhGetFormattedCounterValue(counter, PDH_FMT_LARGE, nullptr, &value),
                            PDH_INVALID_ARGUMENT));

    EXPECT_EQ(PdhCloseQuery(query), 0);
    EXPECT_TRUE(pdhStatusIs(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value),
                            PDH_INVALID_HANDLE));
    EXPECT_TRUE(pdhStatusIs(PdhCollectQueryData(query), PDH_INVALID_HANDLE));
}

TEST_F(ScriptedLayerTest, TheConsoleAnswersFromTheScriptAndRecordsInOrder)
{
    scripted::keyWaitingFromPoll(3);
    beginConsoleSampling();
    std::vector<bool> answers;
    for (int i = 0; i < 4; i++) {
        answers.push_back(keyPressWaiting());
        sleepMilliseconds(1000);
    }
    endConsoleSampling();
    EXPECT_EQ(answers, (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(scripted::keyPolls(), 4);
    EXPECT_EQ(scripted::sleeps(), (std::vector<unsigned>{1000, 1000, 1000, 1000}));
    EXPECT_EQ(scripted::consoleBegins(), 1);
    EXPECT_EQ(scripted::consoleEnds(), 1);
    std::vector<std::string> events = scripted::events();
    ASSERT_EQ(events.size(), 10u);
    EXPECT_EQ(events.front(), "beginConsoleSampling");
    EXPECT_EQ(events[1], "keyPressWaiting");
    EXPECT_EQ(events[2], "sleepMilliseconds 1000");
    EXPECT_EQ(events.back(), "endConsoleSampling");

    scripted::reset();
    EXPECT_FALSE(keyPressWaiting());
    EXPECT_EQ(scripted::sleeps().size(), 0u);
}

} // namespace

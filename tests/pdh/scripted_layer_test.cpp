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

TEST_F(ScriptedLayerTest, CounterTypesAndRawSamplesAnswerFromTheScript)
{
    scripted::findObject("Process")->twoSampleCounters = {"% Processor Time"};
    scripted::setCounterType("Process", "ID Process", PERF_COUNTER_RAWCOUNT);
    scripted::setRawValues("\\Process(sh#1)\\% Processor Time",
                           {scripted::raw(100, 1000), scripted::rawFailure(PDH_CSTATUS_NO_INSTANCE),
                            scripted::raw(300, 3000, 2)});
    scripted::setValues("\\Process(sh)\\ID Process", {scripted::fullValue(42.9)});
    PDH_HQUERY query = nullptr;
    ASSERT_EQ(PdhOpenQueryA(nullptr, 0, &query), 0);
    PDH_HCOUNTER time = nullptr;
    PDH_HCOUNTER pid = nullptr;
    PDH_HCOUNTER memory = nullptr;
    ASSERT_EQ(PdhAddCounterA(query, "\\Process(sh#1)\\% Processor Time", 7, &time), 0);
    ASSERT_EQ(PdhAddCounterA(query, "\\Process(sh)\\ID Process", 0, &pid), 0);
    ASSERT_EQ(PdhAddCounterA(query, "\\Memory\\Available Bytes", 0, &memory), 0);

    // The type, the path's parts and the size first asked for.
    DWORD size = 0;
    ASSERT_TRUE(pdhStatusIs(PdhGetCounterInfoA(time, FALSE, &size, nullptr), PDH_MORE_DATA));
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<PDH_COUNTER_INFO_A*>(buffer.data());
    DWORD small = size - 1;
    EXPECT_TRUE(pdhStatusIs(PdhGetCounterInfoA(time, FALSE, &small, info), PDH_MORE_DATA));
    EXPECT_EQ(small, size);
    ASSERT_EQ(PdhGetCounterInfoA(time, FALSE, &size, info), 0);
    EXPECT_EQ(info->dwType, static_cast<DWORD>(PERF_COUNTER_BULK_COUNT));
    EXPECT_EQ(info->dwUserData, 7u);
    EXPECT_STREQ(info->szObjectName, "Process");
    EXPECT_STREQ(info->szInstanceName, "sh");
    EXPECT_EQ(info->dwInstanceIndex, 1u);
    EXPECT_STREQ(info->szCounterName, "% Processor Time");

    DWORD type = 0;
    PDH_RAW_COUNTER raw;
    EXPECT_TRUE(pdhStatusIs(PdhGetRawCounterValue(time, &type, &raw), PDH_INVALID_DATA));
    EXPECT_EQ(raw.CStatus, PDH_CSTATUS_INVALID_DATA);

    std::vector<PDH_STATUS> statuses;
    std::vector<LONGLONG> firsts;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_EQ(PdhCollectQueryData(query), 0);
        statuses.push_back(PdhGetRawCounterValue(time, &type, &raw));
        firsts.push_back(raw.FirstValue);
    }
    EXPECT_EQ(statuses, (std::vector<PDH_STATUS>{0, static_cast<PDH_STATUS>(PDH_CSTATUS_NO_INSTANCE), 0}));
    EXPECT_EQ(firsts[0], 100);
    EXPECT_EQ(raw.SecondValue, 3000);
    EXPECT_EQ(raw.MultiCount, 2u);
    EXPECT_EQ(type, static_cast<DWORD>(PERF_COUNTER_BULK_COUNT));

    // Unscripted raw samples: the formatted value, at the collection's time.
    ASSERT_EQ(PdhGetRawCounterValue(pid, &type, &raw), 0);
    EXPECT_EQ(type, static_cast<DWORD>(PERF_COUNTER_RAWCOUNT));
    EXPECT_EQ(raw.FirstValue, 42);
    EXPECT_EQ(raw.SecondValue, scripted::collectionTime(3));
    ASSERT_EQ(PdhGetRawCounterValue(memory, &type, &raw), 0);
    EXPECT_EQ(type, static_cast<DWORD>(PERF_COUNTER_LARGE_RAWCOUNT));
    uint64_t fileTime = (static_cast<uint64_t>(raw.TimeStamp.dwHighDateTime) << 32) |
                        raw.TimeStamp.dwLowDateTime;
    EXPECT_EQ(fileTime, static_cast<uint64_t>(scripted::collectionTime(3)) +
                            11644473600ULL * 10000000ULL);
    LONGLONG timeBase = 0;
    EXPECT_EQ(PdhGetCounterTimeBase(memory, &timeBase), 0);
    EXPECT_EQ(timeBase, 10000000);

    // A missing instance, and failures by call number.
    scripted::findObject("Process")->instances = {"sh"};
    EXPECT_TRUE(pdhStatusIs(PdhGetRawCounterValue(time, &type, &raw), PDH_INVALID_DATA));
    EXPECT_EQ(raw.CStatus, PDH_CSTATUS_NO_INSTANCE);
    scripted::answerCall(scripted::GET_RAW_VALUE, scripted::callCount(scripted::GET_RAW_VALUE) + 1,
                         PDH_INVALID_HANDLE);
    EXPECT_TRUE(pdhStatusIs(PdhGetRawCounterValue(pid, &type, &raw), PDH_INVALID_HANDLE));
    EXPECT_EQ(PdhCloseQuery(query), 0);
    EXPECT_TRUE(pdhStatusIs(PdhGetCounterTimeBase(memory, &timeBase), PDH_INVALID_HANDLE));
}

} // namespace

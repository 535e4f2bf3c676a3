// Counter paths: their two forms and the "#N" index, what is malformed, and
// the status PdhAddCounterA answers for each; handles and empty queries.
#include <gtest/gtest.h>

#include <vector>

#include "layer_fixture.h"
#include "platform/linux/counter_path.h"

namespace linuxtest {
namespace {

const PDH_STATUS BAD_NAME = static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);

TEST(LinuxCounterPathTest, ObjectAndCounter)
{
    CounterPath path;
    ASSERT_EQ(parseCounterPath("\\Paging File\\% Usage", path), ERROR_SUCCESS);
    EXPECT_EQ(path.object, "Paging File");
    EXPECT_FALSE(path.hasInstance);
    EXPECT_EQ(path.counter, "% Usage");
}

TEST(LinuxCounterPathTest, InstanceWithAndWithoutIndex)
{
    CounterPath path;
    ASSERT_EQ(parseCounterPath("\\Process(my [odd] prog])\\IO Read Bytes/sec", path),
              ERROR_SUCCESS);
    EXPECT_EQ(path.object, "Process");
    EXPECT_TRUE(path.hasInstance);
    EXPECT_EQ(path.instance, "my [odd] prog]");
    EXPECT_EQ(path.instanceIndex, 0);
    EXPECT_EQ(path.counter, "IO Read Bytes/sec");

    ASSERT_EQ(parseCounterPath("\\Thread(worker/0#12)\\ID Thread", path), ERROR_SUCCESS);
    EXPECT_EQ(path.instance, "worker/0") << "Thread names keep their '/'";
    EXPECT_EQ(path.instanceIndex, 12);
    EXPECT_EQ(path.counter, "ID Thread");
}

TEST(LinuxCounterPathTest, MalformedPaths)
{
    for (const char* text : {
             "", "Memory\\Available Bytes", "\\", "\\\\Memory\\Available Bytes",
             "\\Memory", "\\Memory\\", "\\\\Available Bytes", "\\Memory\\Available\\Bytes",
             "\\Process()\\ID Process", "\\Process(#1)\\ID Process", "\\Process(a#)\\ID Process",
             "\\Process(a#x)\\ID Process", "\\Process(a#-1)\\ID Process",
             "\\Process(a#1#2)\\ID Process", "\\Process(a#99999999999)\\ID Process",
             "\\Process(a\\ID Process", "\\Process(a(b)\\ID Process", "\\Process(a)b\\ID Process",
             "\\Process(a)", "\\Pro)cess\\ID Process", "\\Pro#cess\\ID Process",
         }) {
        CounterPath path;
        EXPECT_EQ(parseCounterPath(text, path), BAD_NAME) << '"' << text << '"';
    }
    CounterPath path;
    EXPECT_EQ(parseCounterPath(nullptr, path), BAD_NAME);
}

class LinuxAddCounterTest : public LayerTest {
protected:
    PDH_STATUS tryAdd(const char* path)
    {
        if (!query_) {
            query_ = openQuery();
        }
        PDH_HCOUNTER counter = nullptr;
        return PdhAddCounterA(query_, path, 0, &counter);
    }
    PDH_HQUERY query_ = nullptr;
};

TEST_F(LinuxAddCounterTest, StatusOfEachKindOfPath)
{
    EXPECT_EQ(tryAdd("\\Memory\\Available Bytes"), ERROR_SUCCESS);
    EXPECT_EQ(tryAdd("\\Process(worker#1)\\ID Process"), ERROR_SUCCESS);
    EXPECT_EQ(tryAdd("\\Disk\\Reads"), static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT));
    EXPECT_EQ(tryAdd("\\memory\\Available Bytes"), static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT))
        << "names are matched exactly";
    EXPECT_EQ(tryAdd("\\Memory\\Available Apples"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER));
    EXPECT_EQ(tryAdd("\\Process(worker)\\Working set"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER));
    EXPECT_EQ(tryAdd("\\Process(worker\\ID Process"), BAD_NAME);
    EXPECT_EQ(tryAdd("Process(worker)\\ID Process"), BAD_NAME);
    // An instance for an object without instances, and none for one with.
    EXPECT_EQ(tryAdd("\\Memory(x)\\Available Bytes"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_INSTANCE));
    EXPECT_EQ(tryAdd("\\Process\\ID Process"), static_cast<PDH_STATUS>(PDH_CSTATUS_NO_INSTANCE));
}

// Paths are added a whole instance at a time, so the layer keeps the parse of
// the part before the counter name: a path that shares it must still be taken
// apart on its own merits.
TEST_F(LinuxAddCounterTest, PathsSharingTheirStartWithTheOneBeforeAreJudgedWhole)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER id = add(query, "\\Process(worker#1)\\ID Process");
    PDH_HCOUNTER threads = add(query, "\\Process(worker#1)\\Thread Count");
    PDH_HCOUNTER parent = add(query, "\\Process(worker#1)\\Creating Process ID");
    PDH_HCOUNTER again = add(query, "\\Process(worker#1)\\ID Process");
    PDH_HCOUNTER first = add(query, "\\Process(worker#0)\\ID Process");
    collect(query);
    EXPECT_EQ(value(id), 301);
    EXPECT_EQ(value(threads), 2);
    EXPECT_EQ(value(parent), 1);
    EXPECT_EQ(value(again), 301);
    EXPECT_EQ(value(first), 300);

    EXPECT_EQ(tryAdd("\\Process(worker#1)\\ID Process"), ERROR_SUCCESS);
    EXPECT_EQ(tryAdd("\\Process(worker#1)\\ID Apples"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER));
    EXPECT_EQ(tryAdd("\\Process(worker#1)\\"), BAD_NAME);
    EXPECT_EQ(tryAdd("\\Process(worker#1)\\ID Process\\"), BAD_NAME);
    EXPECT_EQ(tryAdd("\\Disk(worker#1)\\ID Process"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT));
    EXPECT_EQ(tryAdd("\\Disk(worker#1)\\Thread Count"),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT))
        << "an unknown object stays unknown for the next path";
    EXPECT_EQ(tryAdd("\\Memory\\Available Bytes"), ERROR_SUCCESS);
    EXPECT_EQ(tryAdd("\\Memory\\ID Process"), static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER));
}

TEST_F(LinuxAddCounterTest, PathToAnInstanceThatDoesNotExistIsAcceptedAndItsFetchFails)
{
    Fetched fetched = sampleOnce("\\Process(nobody)\\ID Process");
    EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_NO_INSTANCE);
}

TEST_F(LinuxAddCounterTest, IndexCountsOnlyInstancesOfTheSameName)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER first = add(query, "\\Thread(worker/0#0)\\ID Process");
    PDH_HCOUNTER second = add(query, "\\Thread(worker/0#1)\\ID Process");
    PDH_HCOUNTER plain = add(query, "\\Thread(worker/0)\\ID Process");
    PDH_HCOUNTER beyond = add(query, "\\Thread(worker/0#2)\\ID Process");
    PDH_HCOUNTER other = add(query, "\\Thread(worker/1#0)\\ID Process");
    collect(query);
    EXPECT_EQ(value(first), 300);
    EXPECT_EQ(value(second), 301);
    EXPECT_EQ(value(plain), 300);
    EXPECT_EQ(fetch(beyond).counterStatus, PDH_CSTATUS_NO_INSTANCE);
    EXPECT_EQ(value(other), 301);
}

TEST_F(LinuxAddCounterTest, HandlesAreCheckedAndEndWithTheirQuery)
{
    PDH_HCOUNTER counter = nullptr;
    EXPECT_EQ(PdhAddCounterA(nullptr, "\\Memory\\Available Bytes", 0, &counter),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    EXPECT_EQ(PdhCollectQueryData(nullptr), static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));

    PDH_HQUERY query = nullptr;
    ASSERT_EQ(PdhOpenQueryA(nullptr, 0, &query), ERROR_SUCCESS);
    EXPECT_EQ(PdhCollectQueryData(query), static_cast<PDH_STATUS>(PDH_NO_DATA))
        << "a query without counters";
    ASSERT_EQ(PdhAddCounterA(query, "\\Memory\\Available KBytes", 0, &counter), ERROR_SUCCESS);
    // A counter handle is no query handle and the other way round.
    EXPECT_EQ(PdhCollectQueryData(counter), static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    PDH_FMT_COUNTERVALUE value;
    EXPECT_EQ(PdhGetFormattedCounterValue(query, PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    // Not collected yet.
    EXPECT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    ASSERT_EQ(PdhCollectQueryData(query), ERROR_SUCCESS);
    EXPECT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value), ERROR_SUCCESS);
    EXPECT_EQ(value.longValue, 4194304);

    EXPECT_EQ(PdhCloseQuery(query), ERROR_SUCCESS);
    EXPECT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    EXPECT_EQ(PdhCloseQuery(query), static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
}

// Handles of two queries, many blocks of counters each, fetched in turns:
// each is its own counter; an address inside a counter, or past the last one
// added, is no handle.
TEST_F(LinuxAddCounterTest, HandlesOfTwoQueriesFetchedInTurns)
{
    PDH_HQUERY queries[2] = {nullptr, nullptr};
    std::vector<PDH_HCOUNTER> counters[2];
    const char* paths[2] = {"\\Memory\\Available KBytes", "\\Memory\\Available Bytes"};
    for (int q = 0; q < 2; ++q) {
        ASSERT_EQ(PdhOpenQueryA(nullptr, 0, &queries[q]), ERROR_SUCCESS);
        for (int i = 0; i < 600; ++i) {
            PDH_HCOUNTER counter = nullptr;
            ASSERT_EQ(PdhAddCounterA(queries[q], paths[q], 0, &counter), ERROR_SUCCESS);
            counters[q].push_back(counter);
        }
        ASSERT_EQ(PdhCollectQueryData(queries[q]), ERROR_SUCCESS);
    }
    const LONG expected[2] = {4194304, 2147483647};  // 4 GiB in bytes saturates
    PDH_FMT_COUNTERVALUE value;
    for (int i = 0; i < 600; ++i) {
        for (int q = 0; q < 2; ++q) {
            ASSERT_EQ(PdhGetFormattedCounterValue(counters[q][static_cast<size_t>(i)],
                                                  PDH_FMT_LONG, nullptr, &value),
                      ERROR_SUCCESS);
            EXPECT_EQ(value.longValue, expected[q]);
        }
    }
    char* last = static_cast<char*>(counters[0].back());
    EXPECT_EQ(PdhGetFormattedCounterValue(last + 1, PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    char* first = static_cast<char*>(counters[0].front());
    char* second = static_cast<char*>(counters[0][1]);
    EXPECT_EQ(PdhGetFormattedCounterValue(last + (second - first), PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE))
        << "the place of a counter not added yet";
    EXPECT_EQ(PdhCloseQuery(queries[0]), ERROR_SUCCESS);
    EXPECT_EQ(PdhGetFormattedCounterValue(counters[0].front(), PDH_FMT_LONG, nullptr, &value),
              static_cast<PDH_STATUS>(PDH_INVALID_HANDLE));
    EXPECT_EQ(PdhGetFormattedCounterValue(counters[1].back(), PDH_FMT_LONG, nullptr, &value),
              ERROR_SUCCESS);
    EXPECT_EQ(PdhCloseQuery(queries[1]), ERROR_SUCCESS);
}

TEST_F(LinuxAddCounterTest, LiveDataOnly)
{
    PDH_HQUERY query = nullptr;
    EXPECT_EQ(PdhOpenQueryA("capture.blg", 0, &query),
              static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT));
}

} // namespace
} // namespace linuxtest

// The sizing and filling answers of PdhEnumObjectsA and PdhEnumObjectItemsA:
// sizes in characters with every terminator, PDH_MORE_DATA with the needed
// sizes for no buffer or too small a one, double-NUL terminated lists.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "layer_fixture.h"
#include "platform/linux/procfs.h"

namespace linuxtest {
namespace {

const PDH_STATUS MORE_DATA = static_cast<PDH_STATUS>(PDH_MORE_DATA);

const char OBJECTS[] = "Processor\0Process\0Thread\0Memory\0System\0PhysicalDisk\0"
                       "LogicalDisk\0Network Interface\0Paging File\0Processor Information\0"
                       "TCPv4\0TCPv6\0UDPv4\0UDPv6\0IPv4\0IPv6\0Cache\0";
const DWORD OBJECTS_SIZE = sizeof OBJECTS;  // with the array's own NUL: the final one

struct Refill {
    DWORD sizedInstances;  // the instance size the sizing call gave
    PDH_STATUS status;     // of the filling call
    DWORD instanceSize;    // as the filling call set it
    std::vector<std::string> instances;  // when the filling call succeeded
};

class LinuxEnumerationTest : public LayerTest {
protected:
    // The sizing call for `object`, then `between`, then the filling call with
    // buffers of the sizes the sizing call gave.
    Refill sizeThenFill(const char* object, const std::function<void()>& between)
    {
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, object, nullptr, &counterSize, nullptr,
                                      &instanceSize, PERF_DETAIL_WIZARD, 0),
                  MORE_DATA)
            << object;
        Refill refill = {instanceSize, 0, 0, {}};
        between();
        std::vector<char> counters(counterSize);
        std::vector<char> instances(instanceSize);
        refill.status = PdhEnumObjectItemsA(nullptr, nullptr, object, counters.data(),
                                            &counterSize, instances.data(), &instanceSize,
                                            PERF_DETAIL_WIZARD, 0);
        refill.instanceSize = instanceSize;
        if (refill.status == ERROR_SUCCESS) {
            refill.instances = multiSzNames(instances.data(), instanceSize);
        }
        return refill;
    }
};

TEST_F(LinuxEnumerationTest, ObjectsSizingThenFilling)
{
    DWORD size = 0;
    EXPECT_EQ(PdhEnumObjectsA(nullptr, nullptr, nullptr, &size, PERF_DETAIL_WIZARD, TRUE),
              MORE_DATA);
    EXPECT_EQ(size, OBJECTS_SIZE);

    std::vector<char> buffer(size);
    EXPECT_EQ(PdhEnumObjectsA(nullptr, nullptr, buffer.data(), &size, PERF_DETAIL_WIZARD, TRUE),
              ERROR_SUCCESS);
    EXPECT_EQ(size, OBJECTS_SIZE);
    EXPECT_EQ(std::string(buffer.data(), size), std::string(OBJECTS, OBJECTS_SIZE));
}

TEST_F(LinuxEnumerationTest, ObjectsBufferTooSmallOrLarger)
{
    std::vector<char> buffer(OBJECTS_SIZE + 10, 'x');
    DWORD size = OBJECTS_SIZE - 1;
    EXPECT_EQ(PdhEnumObjectsA(nullptr, nullptr, buffer.data(), &size, PERF_DETAIL_WIZARD, TRUE),
              MORE_DATA);
    EXPECT_EQ(size, OBJECTS_SIZE);

    size = OBJECTS_SIZE + 10;
    EXPECT_EQ(PdhEnumObjectsA(nullptr, nullptr, buffer.data(), &size, PERF_DETAIL_WIZARD, TRUE),
              ERROR_SUCCESS);
    EXPECT_EQ(size, OBJECTS_SIZE) << "the size written";
    EXPECT_EQ(multiSzNames(buffer.data(), size).size(), 17u);
}

TEST_F(LinuxEnumerationTest, ObjectsOfAnotherMachineOrALogAreRefused)
{
    DWORD size = 0;
    EXPECT_EQ(PdhEnumObjectsA(nullptr, "\\\\other", nullptr, &size, PERF_DETAIL_WIZARD, TRUE),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_MACHINE));
    EXPECT_EQ(PdhEnumObjectsA("log.blg", nullptr, nullptr, &size, PERF_DETAIL_WIZARD, TRUE),
              static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT));
}

TEST_F(LinuxEnumerationTest, ItemsSizingGivesBothSizes)
{
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "Paging File", nullptr, &counterSize, nullptr,
                                  &instanceSize, PERF_DETAIL_WIZARD, 0),
              MORE_DATA);
    EXPECT_EQ(counterSize, sizeof "% Usage" + 1);
    EXPECT_EQ(instanceSize, sizeof "sda2" + sizeof "swap file" + sizeof "_Total" + 1);

    std::vector<char> counters(counterSize);
    std::vector<char> instances(instanceSize);
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "Paging File", counters.data(), &counterSize,
                                  instances.data(), &instanceSize, PERF_DETAIL_WIZARD, 0),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(counters.data(), counterSize), std::string("% Usage\0", 9));
    EXPECT_EQ(std::string(instances.data(), instanceSize),
              std::string("sda2\0swap file\0_Total\0", 23));
}

TEST_F(LinuxEnumerationTest, ItemsOfAnObjectWithoutInstancesHaveInstanceSizeZero)
{
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "System", nullptr, &counterSize, nullptr,
                                  &instanceSize, PERF_DETAIL_WIZARD, 0),
              MORE_DATA);
    EXPECT_EQ(instanceSize, 0u);
    std::vector<char> counters(counterSize);
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "System", counters.data(), &counterSize,
                                  nullptr, &instanceSize, PERF_DETAIL_WIZARD, 0),
              ERROR_SUCCESS);
    EXPECT_EQ(instanceSize, 0u);
    EXPECT_EQ(multiSzNames(counters.data(), counterSize),
              (std::vector<std::string>{"Processes", "Threads", "System Up Time",
                                        "Context Switches/sec", "Processor Queue Length",
                                        "Process Creations/sec"}));
}

TEST_F(LinuxEnumerationTest, ItemsWithOneBufferTooSmallAnswerMoreDataWithBothSizes)
{
    DWORD counterSize = 100;
    DWORD instanceSize = 3;
    std::vector<char> counters(100);
    std::vector<char> instances(3);
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "Paging File", counters.data(), &counterSize,
                                  instances.data(), &instanceSize, PERF_DETAIL_WIZARD, 0),
              MORE_DATA);
    EXPECT_EQ(counterSize, 9u);
    EXPECT_EQ(instanceSize, 23u);
}

TEST_F(LinuxEnumerationTest, InstanceListThatGrewBetweenSizingAndFillingAnswersMoreData)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    // A process starts.
    Refill grown = sizeThenFill(
        "Process", [&tree] { tree.copyFrom(sampleTree("crafted/t1/proc/305"), "proc/305"); });
    EXPECT_EQ(grown.status, MORE_DATA);
    EXPECT_EQ(grown.instanceSize, grown.sizedInstances + sizeof "worker");

    ItemLists lists = enumerateItems("Process");
    EXPECT_EQ(lists.status, ERROR_SUCCESS);
    EXPECT_EQ(lists.instances, (std::vector<std::string>{"kworker_0:1", "my [odd] prog]", "worker",
                                                         "worker", "worker", "stuck", "_Total"}));
}

TEST_F(LinuxEnumerationTest, InstanceListThatShrankStillFills)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    Refill shrunk = sizeThenFill("Process", [&tree] { tree.remove("proc/400"); });  // "stuck" ends
    EXPECT_EQ(shrunk.status, ERROR_SUCCESS);
    EXPECT_EQ(shrunk.instances, (std::vector<std::string>{"kworker_0:1", "my [odd] prog]",
                                                          "worker", "worker", "_Total"}));
}

// A program lists every object in a row; the layer reads each process's stat
// once for all of them, and reads afresh for an object listed again.
TEST_F(LinuxEnumerationTest, ObjectsListedInARowShareOneReadingOfTheProcesses)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    EXPECT_EQ(enumerateItems("Process").instances,
              (std::vector<std::string>{"kworker_0:1", "my [odd] prog]", "worker", "worker",
                                        "stuck", "_Total"}));
    // "stuck" renames itself; Thread takes the names Process read.
    tree.write("proc/400/stat",
               "400 (unstuck) D 1 400 400 0 -1 4194304 0 0 0 0 0 0 0 0 20 0 1 0 70000 1000 10 "
               "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n");
    EXPECT_EQ(enumerateItems("Thread").instances,
              (std::vector<std::string>{"kworker_0:1/0", "my [odd] prog]/0", "worker/0",
                                        "worker/0", "worker/1", "stuck/0"}));
    ItemLists again = enumerateItems("Process");
    EXPECT_EQ(again.instances.at(4), "unstuck");
    ItemLists threads = enumerateItems("Thread");
    EXPECT_EQ(threads.instances.back(), "unstuck/0");
}

// The filling call that follows a sizing call answers the list that was
// sized: of Process and Thread while the same processes are there (a process
// that renames itself in between keeps its old name), of the other objects
// always.  A moment later, a listing reads afresh.
TEST_F(LinuxEnumerationTest, FillingCallAnswersTheListItsSizingCallMeasured)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    Refill renamed = sizeThenFill("Process", [&tree] {
        tree.write("proc/400/stat",
                   "400 (renamed) S 1 400 400 0 -1 4194304 200 0 0 0 5 5 0 0 20 0 1 0 70000 "
                   "1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n");
    });
    ASSERT_EQ(renamed.status, ERROR_SUCCESS);
    EXPECT_EQ(renamed.instances.at(4), "stuck");

    Refill disks = sizeThenFill("PhysicalDisk", [&tree] {
        tree.write("proc/diskstats",
                   "   8       0 sda 1000 0 20000 0 500 0 8000 0 2 1000 3000 0 0 0 0 0 0\n"
                   "   8      16 sdb 1 0 2 0 1 0 2 0 0 1 1 0 0 0 0 0 0\n");
    });
    ASSERT_EQ(disks.status, ERROR_SUCCESS);
    EXPECT_EQ(disks.instances, (std::vector<std::string>{"sda", "nvme0n1", "_Total"}));

    advance(0.15);
    EXPECT_EQ(enumerateItems("Process").instances.at(4), "renamed");
    EXPECT_EQ(enumerateItems("PhysicalDisk").instances,
              (std::vector<std::string>{"sda", "_Total"}))
        << "read afresh: nvme0n1 is gone (and sdb, without a device in /sys, is no disk)";
}

// On a big machine one reading takes longer than the moment within which a
// listing is answered again; the moment counts from the end of a call, so the
// filling call still answers the list its sizing call measured, and Thread
// still joins the reading Process made.  Here every look at the clock finds
// it 80 ms on.
int64_t slowClockNow = 0;
int64_t slowClock()
{
    return slowClockNow += 80000000;
}

TEST_F(LinuxEnumerationTest, SlowReadingStillAnswersTheCallsThatFollowIt)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    setSampleClock(slowClock);
    const char* renamedStat =
        "400 (renamed) S 1 400 400 0 -1 4194304 200 0 0 0 5 5 0 0 20 0 1 0 70000 "
        "1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n";
    Refill sized = sizeThenFill("Process", [&] { tree.write("proc/400/stat", renamedStat); });
    ASSERT_EQ(sized.status, ERROR_SUCCESS);
    EXPECT_EQ(sized.instances.at(4), "stuck");
    EXPECT_EQ(enumerateItems("Thread").instances.back(), "stuck/0");
    slowClockNow += 200000000;
    EXPECT_EQ(enumerateItems("Process").instances.at(4), "renamed");
}

// The names need only each process's thread count; a collection lists the
// tasks, and the two agree on a process whose threads stay put.
TEST_F(LinuxEnumerationTest, ThreadNamesFollowEachProcessThreadCount)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    // A third thread of 301, seen in its stat before its task directory shows.
    tree.write("proc/301/stat",
               "301 (worker) S 1 301 301 0 -1 4194304 300 0 0 0 50 10 0 0 20 0 3 0 60100 "
               "2000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n");
    EXPECT_EQ(enumerateItems("Thread").instances,
              (std::vector<std::string>{"kworker_0:1/0", "my [odd] prog]/0", "worker/0",
                                        "worker/0", "worker/1", "worker/2", "stuck/0"}));
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER third = add(query, "\\Thread(worker/2)\\ID Thread");
    PDH_HCOUNTER second = add(query, "\\Thread(worker/1)\\ID Thread");
    collect(query);
    EXPECT_EQ(fetch(third).counterStatus, PDH_CSTATUS_NO_INSTANCE);
    EXPECT_EQ(value(second), 302);
}

TEST_F(LinuxEnumerationTest, ItemsOfAnUnknownObject)
{
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    EXPECT_EQ(PdhEnumObjectItemsA(nullptr, nullptr, "Terminal Services", nullptr, &counterSize, nullptr,
                                  &instanceSize, PERF_DETAIL_WIZARD, 0),
              static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT));
}

TEST_F(LinuxEnumerationTest, EveryObjectListsCountersAndInstancesAsItsKindSays)
{
    std::vector<std::string> objects = multiSzNames(OBJECTS, OBJECTS_SIZE);
    for (const std::string& object : objects) {
        ItemLists lists = enumerateItems(object.c_str());
        EXPECT_EQ(lists.status, ERROR_SUCCESS) << object;
        EXPECT_FALSE(lists.counters.empty()) << object;
        bool withoutInstances = object == "Memory" || object == "System" || object == "Cache" ||
                                object.compare(0, 3, "TCP") == 0 ||
                                object.compare(0, 3, "UDP") == 0 ||
                                object.compare(0, 2, "IP") == 0;
        EXPECT_EQ(lists.instanceSize == 0, withoutInstances) << object;
        EXPECT_EQ(lists.instanceSize > 2, !withoutInstances) << object;
        // No reserved character in any name taken from the system.
        for (const std::string& instance : lists.instances) {
            EXPECT_EQ(instance.find_first_of("()#\\"), std::string::npos) << instance;
            EXPECT_EQ(instance.find('/') != std::string::npos, object == "Thread") << instance;
        }
    }
}

} // namespace
} // namespace linuxtest

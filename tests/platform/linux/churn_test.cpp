// Instances that come and go between collections: a path is resolved again at
// every collection, its fetch fails while its instance is missing, and a
// two-sample value is refused when the instance behind the name and index is
// not the one of the previous collection.
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include "layer_fixture.h"

namespace linuxtest {
namespace {

const PDH_STATUS INVALID = static_cast<PDH_STATUS>(PDH_INVALID_DATA);

class LinuxChurnTest : public LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        tree_.reset(new TreeCopy(sampleTree("crafted/t0")));
        useTrees(tree_->path() + "/proc", sampleTree("crafted/sys"));
    }
    void TearDown() override
    {
        LayerTest::TearDown();
        tree_.reset();
    }
    const TreeCopy& tree() { return *tree_; }
    void expectGone(PDH_HCOUNTER counter)
    {
        Fetched fetched = fetch(counter);
        EXPECT_EQ(fetched.status, INVALID);
        EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_NO_INSTANCE);
    }

private:
    std::unique_ptr<TreeCopy> tree_;
};

TEST_F(LinuxChurnTest, ProcessThatEndsFailsItsFetchAndComesBackWithItsDirectory)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER id = add(query, "\\Process(stuck)\\ID Process");
    PDH_HCOUNTER workingSet = add(query, "\\Process(stuck)\\Working Set");
    PDH_HCOUNTER thread = add(query, "\\Thread(stuck/0)\\ID Thread");
    collect(query);
    EXPECT_EQ(value(id), 400);
    EXPECT_EQ(value(thread), 400);

    tree().remove("proc/400");
    advance(1);
    collect(query);
    expectGone(id);
    expectGone(workingSet);
    expectGone(thread);

    tree().copyFrom(sampleTree("crafted/t0/proc/400"), "proc/400");
    advance(1);
    collect(query);
    EXPECT_EQ(value(id), 400);
    EXPECT_EQ(value(workingSet), 500 * 1024);
}

TEST_F(LinuxChurnTest, IndexFollowsTheNthInstanceOfItsName)
{
    // Of the two "worker" processes (300, 301), 300 ends and 305 starts.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER first = add(query, "\\Process(worker)\\ID Process");
    PDH_HCOUNTER second = add(query, "\\Process(worker#1)\\ID Process");
    PDH_HCOUNTER secondTime = add(query, "\\Process(worker#1)\\% Processor Time");
    collect(query);
    EXPECT_EQ(value(first), 300);
    EXPECT_EQ(value(second), 301);

    tree().remove("proc/300");
    tree().copyFrom(sampleTree("crafted/t1/proc/305"), "proc/305");
    advance(2);
    collect(query);
    EXPECT_EQ(value(first), 301);
    EXPECT_EQ(value(second), 305);
    // worker#1 was 301 and is 305 now: no share of time between the two.
    Fetched fetched = fetch(secondTime);
    EXPECT_EQ(fetched.status, INVALID);
    EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_INVALID_DATA);

    // From then on it is 305 in both collections.
    tree().write("proc/305/stat", "305 (worker) S 1 305 305 0 -1 4194304 40 0 0 0 70 0 0 0 20 0 1 "
                                  "0 100100 1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 "
                                  "0 0 17 0 0 0 0 0 0\n");
    advance(2);
    collect(query);
    EXPECT_EQ(value(secondTime), static_cast<LONG>(50 * 100 / sysconf(_SC_CLK_TCK) / 2));
}

TEST_F(LinuxChurnTest, CountersAddedInAnyOrderFollowEachTheirOwnInstance)
{
    // The counters of one instance need not come one after another: the same
    // name and index added again later, between others, is still that
    // instance, in this collection and after churn.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER second = add(query, "\\Process(worker#1)\\ID Process");
    PDH_HCOUNTER first = add(query, "\\Process(worker)\\ID Process");
    PDH_HCOUNTER secondAgain = add(query, "\\Process(worker#1)\\Virtual Bytes");
    PDH_HCOUNTER thread = add(query, "\\Thread(stuck/0)\\ID Thread");
    PDH_HCOUNTER firstAgain = add(query, "\\Process(worker#0)\\Thread Count");
    collect(query);
    EXPECT_EQ(value(second), 301);
    EXPECT_EQ(value(first), 300);
    EXPECT_EQ(value(secondAgain), 2000000);
    EXPECT_EQ(value(thread), 400);
    EXPECT_EQ(value(firstAgain), 1);

    tree().remove("proc/300");
    advance(1);
    collect(query);
    EXPECT_EQ(value(first), 301);
    EXPECT_EQ(value(firstAgain), 2);
    expectGone(second);
    expectGone(secondAgain);
    EXPECT_EQ(value(thread), 400);
}

TEST_F(LinuxChurnTest, PidReusedByAnotherProcessOfTheSameNameGivesNoRate)
{
    // Process 301 ends and a new "worker" gets pid 301: a later start time.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER faults = add(query, "\\Process(worker#1)\\Page Faults/sec");
    PDH_HCOUNTER id = add(query, "\\Process(worker#1)\\ID Process");
    collect(query);
    tree().write("proc/301/stat", "301 (worker) S 1 301 301 0 -1 4194304 900 0 0 0 5 5 0 0 20 0 "
                                  "1 0 99999 1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 "
                                  "0 0 0 17 0 0 0 0 0 0\n");
    advance(1);
    collect(query);
    EXPECT_EQ(value(id), 301);
    EXPECT_EQ(fetch(faults).status, INVALID);
}

TEST_F(LinuxChurnTest, ProcessesStartedInTheSameTickAreStillToldApart)
{
    // 300 and 301 started in the same tick; 300 ends, and "worker" is 301.
    tree().write("proc/300/stat", "300 (worker) S 1 300 300 0 -1 4194304 100 0 0 0 10 10 0 0 20 0 "
                                  "1 0 60100 1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 "
                                  "0 0 0 17 0 0 0 0 0 0\n");
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER time = add(query, "\\Process(worker)\\% Processor Time");
    collect(query);
    tree().remove("proc/300");
    advance(1);
    collect(query);
    EXPECT_EQ(fetch(time).status, INVALID);
}

TEST_F(LinuxChurnTest, ThreadThatEndsShiftsTheOrdinalsOfItsProcess)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER second = add(query, "\\Thread(worker/1)\\ID Thread");
    PDH_HCOUNTER switches = add(query, "\\Thread(worker/0#1)\\Context Switches/sec");
    collect(query);
    EXPECT_EQ(value(second), 302);
    // Thread 301 of process 301 ends; 302 becomes worker/0 of that process.
    tree().remove("proc/301/task/301");
    advance(1);
    collect(query);
    expectGone(second);
    EXPECT_EQ(fetch(switches).status, INVALID) << "worker/0#1 is another thread now";
}

TEST_F(LinuxChurnTest, DiskInterfaceCpuAndSwapAreaThatGoAway)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER disk = add(query, "\\PhysicalDisk(nvme0n1)\\Current Disk Queue Length");
    PDH_HCOUNTER sda = add(query, "\\PhysicalDisk(sda)\\Disk Reads/sec");
    PDH_HCOUNTER interface = add(query, "\\Network Interface(eth1)\\Packets Received Errors");
    PDH_HCOUNTER cpu = add(query, "\\Processor(1)\\% Processor Time");
    PDH_HCOUNTER swap = add(query, "\\Paging File(swap file)\\% Usage");
    collect(query);
    EXPECT_EQ(value(disk), 0);
    EXPECT_EQ(value(interface), 0);
    EXPECT_EQ(value(swap), 0);

    tree().write("proc/diskstats", "   8       0 sda 1100 0 20000 0 500 0 8000 0 2 1000 3000 0 0 "
                                   "0 0 0 0\n");
    tree().write("proc/net/dev", "Inter-|   Receive |  Transmit\n"
                                 " face |bytes |bytes\n"
                                 "    lo:    5000      50    0    0    0     0          0         "
                                 "0     5000      50    0    0    0     0       0          0\n");
    tree().write("proc/stat", "cpu  200 0 50 1800 150 0 0 0 0 0\n"
                              "cpu0 200 0 50 800 50 0 0 0 0 0\n");
    tree().write("proc/swaps", "Filename\tType\tSize\tUsed\tPriority\n"
                               "/dev/sda2 partition 2000000 500000 -2\n");
    advance(1);
    collect(query);
    expectGone(disk);
    expectGone(interface);
    expectGone(cpu);
    expectGone(swap);
    EXPECT_EQ(value(sda), 100) << "the disk that stayed";
}

TEST_F(LinuxChurnTest, ProcessTotalKeepsWhatEndedProcessesHadAdded)
{
    // From t0 to t1: 300 and 400 end, 305 starts with 40 faults, 100 adds 500
    // faults and 140 ticks, 301 adds 70 ticks and 305 has 20.  Summing the
    // processes' counts afresh would give 240 faults over 4 s, not 540.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER faults = add(query, "\\Process(_Total)\\Page Faults/sec");
    PDH_HCOUNTER time = add(query, "\\Process(_Total)\\% Processor Time");
    collect(query);
    useCrafted("t1");
    advance(4);
    collect(query);
    EXPECT_EQ(value(faults), 540 / 4);
    EXPECT_EQ(value(time), static_cast<LONG>(230 * 100 / sysconf(_SC_CLK_TCK) / 4));

    // A third collection counts only what the remaining processes added.
    TreeCopy later(sampleTree("crafted/t1"));
    later.remove("proc/100");
    useTrees(later.path() + "/proc", sampleTree("crafted/sys"));
    advance(1);
    collect(query);
    EXPECT_EQ(value(faults), 0);
}

} // namespace
} // namespace linuxtest

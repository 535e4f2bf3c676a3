// Rates, percentages and elapsed times across two collections: the first of
// the hand-written tree t0, the second of t1, two seconds later by the
// sample clock.  The figures of t1 are chosen so that each rule shows.
#include <gtest/gtest.h>

#include <set>
#include <unistd.h>

#include "layer_fixture.h"

namespace linuxtest {
namespace {

class LinuxTwoSamplesTest : public LayerTest {
protected:
    // Adds the paths, collects t0, then t1 `seconds` later.
    std::vector<PDH_HCOUNTER> acrossTrees(const std::vector<std::string>& paths,
                                          double seconds = 2)
    {
        query_ = openQuery();
        std::vector<PDH_HCOUNTER> counters;
        for (const std::string& path : paths) {
            counters.push_back(add(query_, path));
        }
        collect(query_);
        useCrafted("t1");
        advance(seconds);
        collect(query_);
        return counters;
    }
    // The values after t0 then t1, two seconds apart.
    std::vector<LONG> valuesAcross(const std::vector<std::string>& paths, double seconds = 2)
    {
        std::vector<LONG> values;
        for (PDH_HCOUNTER counter : acrossTrees(paths, seconds)) {
            values.push_back(value(counter));
        }
        return values;
    }
    PDH_HQUERY query_ = nullptr;
};

using Values = std::vector<LONG>;

TEST_F(LinuxTwoSamplesTest, ProcessorSharesOfTheLineTicks)
{
    // cpu0: 200 ticks passed, 110 of them idle or iowait, 60 user+nice,
    // 30 system+irq+softirq, 5 irq, 5 softirq.
    const std::string p = "\\Processor(0)\\";
    EXPECT_EQ(valuesAcross({p + "% Processor Time", p + "% User Time", p + "% Privileged Time",
                            p + "% Interrupt Time", p + "% DPC Time", p + "% Idle Time"}),
              (Values{45, 30, 15, 2, 2, 55}));
}

TEST_F(LinuxTwoSamplesTest, ProcessorTotalIsTheCpuLineTruncated)
{
    // 240 ticks, 100 idle: 58.33 %.
    EXPECT_EQ(valuesAcross({"\\Processor(_Total)\\% Processor Time"}), (Values{58}));
}

TEST_F(LinuxTwoSamplesTest, ProcessorPercentagesStayWithin0And100WhenIowaitStepsBack)
{
    // cpu1's iowait fell by 20 while idle grew by 10: busy 50 of 40 ticks.
    EXPECT_EQ(valuesAcross({"\\Processor(1)\\% Processor Time", "\\Processor(1)\\% Idle Time"}),
              (Values{100, 0}));
}

TEST_F(LinuxTwoSamplesTest, InterruptsPerSecondPerCpuColumnAndInTotal)
{
    // The single-number ERR line (7 -> 27) is no CPU's.
    EXPECT_EQ(valuesAcross({"\\Processor(0)\\Interrupts/sec", "\\Processor(1)\\Interrupts/sec",
                            "\\Processor(_Total)\\Interrupts/sec"}),
              (Values{1200, 130, 500}));
}

TEST_F(LinuxTwoSamplesTest, InterruptsOfASingleCpuLeaveOutTheSystemWideLines)
{
    TreeCopy before(sampleTree("crafted/t0"));
    TreeCopy after(sampleTree("crafted/t0"));
    const char* stat = "cpu  100 0 50 1800 150 0 0 0 0 0\ncpu0 100 0 50 1800 150 0 0 0 0 0\n";
    before.write("proc/stat", stat);
    after.write("proc/stat", stat);
    before.write("proc/interrupts", "           CPU0       \n"
                                    "  0:        600   IO-APIC   2-edge      timer\n"
                                    "NMI:          0   Non-maskable interrupts\n"
                                    "ERR:          7\n"
                                    "MIS:          0\n");
    after.write("proc/interrupts", "           CPU0       \n"
                                   "  0:        800   IO-APIC   2-edge      timer\n"
                                   "NMI:          0   Non-maskable interrupts\n"
                                   "ERR:        507\n"
                                   "MIS:         40\n");
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER interrupts = add(query, "\\Processor(0)\\Interrupts/sec");
    useTrees(before.path() + "/proc", sampleTree("crafted/sys"));
    collect(query);
    useTrees(after.path() + "/proc", sampleTree("crafted/sys"));
    advance(2);
    collect(query);
    EXPECT_EQ(value(interrupts), 100);
}

TEST_F(LinuxTwoSamplesTest, ProcessTimesAsSharesOfOneCpu)
{
    // 100 ticks user and 40 system passed in 2 s.
    const std::string p = "\\Process(my [odd] prog])\\";
    EXPECT_EQ(valuesAcross({p + "% Processor Time", p + "% User Time", p + "% Privileged Time"}),
              (Values{static_cast<LONG>(140 * 100 / sysconf(_SC_CLK_TCK) / 2),
                      static_cast<LONG>(100 * 100 / sysconf(_SC_CLK_TCK) / 2),
                      static_cast<LONG>(40 * 100 / sysconf(_SC_CLK_TCK) / 2)}));
}

TEST_F(LinuxTwoSamplesTest, ProcessRatesOfFaultsAndIo)
{
    const std::string p = "\\Process(my [odd] prog])\\";
    EXPECT_EQ(valuesAcross({p + "Page Faults/sec", p + "IO Read Operations/sec",
                            p + "IO Write Operations/sec", p + "IO Read Bytes/sec",
                            p + "IO Write Bytes/sec", p + "IO Data Operations/sec",
                            p + "IO Data Bytes/sec"}),
              (Values{250, 100, 20, 10000, 2000, 120, 12000}));
}

TEST_F(LinuxTwoSamplesTest, ProcessValuesAndElapsedTimeComeFromTheLatestCollection)
{
    // The uptime went from 1000 to 1002.5 s: elapsed seconds are truncated.
    long ticks = sysconf(_SC_CLK_TCK);
    const std::string p = "\\Process(my [odd] prog])\\";
    EXPECT_EQ(valuesAcross({p + "Working Set", p + "Elapsed Time", "\\System\\System Up Time"}),
              (Values{2560 * 1024, static_cast<LONG>(1002 - 50000 / ticks), 1002}));
}

TEST_F(LinuxTwoSamplesTest, ThreadTimesAndContextSwitches)
{
    // Thread worker/1 is tid 302 in both: 60 user ticks, 200 more switches.
    EXPECT_EQ(valuesAcross({"\\Thread(worker/1)\\% Processor Time",
                            "\\Thread(worker/1)\\% User Time",
                            "\\Thread(worker/1)\\% Privileged Time",
                            "\\Thread(worker/1)\\Context Switches/sec"}),
              (Values{static_cast<LONG>(60 * 100 / sysconf(_SC_CLK_TCK) / 2),
                      static_cast<LONG>(60 * 100 / sysconf(_SC_CLK_TCK) / 2), 0, 100}));
}

TEST_F(LinuxTwoSamplesTest, MemoryPagingRates)
{
    EXPECT_EQ(valuesAcross({"\\Memory\\Page Faults/sec", "\\Memory\\Pages Input/sec",
                            "\\Memory\\Pages Output/sec", "\\Memory\\Pages/sec"}),
              (Values{1000, 10, 2, 12}));
}

TEST_F(LinuxTwoSamplesTest, SystemRates)
{
    EXPECT_EQ(valuesAcross({"\\System\\Context Switches/sec", "\\System\\Process Creations/sec",
                            "\\System\\Processor Queue Length"}),
              (Values{2000, 5, 3}));
}

TEST_F(LinuxTwoSamplesTest, PhysicalDiskRatesBusyShareAndQueue)
{
    // sda: 200 reads of 4000 sectors, 100 writes of 2000 sectors, 500 ms
    // busy, 400 ms reading and 1000 ms writing, 2000 ms of weighted time in
    // 2 s.  % Disk Time is the mean queue of reads and writes, not the busy
    // share.
    const std::string p = "\\PhysicalDisk(sda)\\";
    EXPECT_EQ(valuesAcross({p + "Disk Reads/sec", p + "Disk Writes/sec", p + "Disk Transfers/sec",
                            p + "Disk Read Bytes/sec", p + "Disk Write Bytes/sec",
                            p + "Disk Bytes/sec", p + "% Disk Time", p + "% Idle Time",
                            p + "Avg. Disk Queue Length", p + "Current Disk Queue Length"}),
              (Values{100, 50, 150, 1024000, 512000, 1536000, 70, 75, 1, 1}));
}

TEST_F(LinuxTwoSamplesTest, PhysicalDiskTotalAveragesTheTimeSharesOverDisks)
{
    // sda was busy a quarter of the time with a mean queue of 0.7, nvme0n1
    // idle.
    EXPECT_EQ(valuesAcross({"\\PhysicalDisk(_Total)\\% Disk Time",
                            "\\PhysicalDisk(_Total)\\% Idle Time",
                            "\\PhysicalDisk(_Total)\\Disk Reads/sec",
                            "\\PhysicalDisk(nvme0n1)\\% Idle Time"}),
              (Values{35, 87, 100, 100}));
}

TEST_F(LinuxTwoSamplesTest, NetworkInterfaceRates)
{
    const std::string p = "\\Network Interface(eth0)\\";
    EXPECT_EQ(valuesAcross({p + "Bytes Received/sec", p + "Bytes Sent/sec", p + "Bytes Total/sec",
                            p + "Packets Received/sec", p + "Packets Sent/sec", p + "Packets/sec",
                            "\\Network Interface(eth1)\\Packets/sec"}),
              (Values{100000, 50000, 150000, 200, 100, 300, 0}));
}

TEST_F(LinuxTwoSamplesTest, RatesAreDividedByTheTimeBetweenCollections)
{
    EXPECT_EQ(valuesAcross({"\\System\\Context Switches/sec"}, 0.5), (Values{8000}));
}

TEST_F(LinuxTwoSamplesTest, RateOfACountThatWentBackFails)
{
    // An interface that was taken down and up again starts from 0.
    TreeCopy after(sampleTree("crafted/t1"));
    after.write("proc/net/dev",
                "Inter-|   Receive                                                |  Transmit\n"
                " face |bytes    packets errs drop fifo frame compressed multicast|bytes    "
                "packets errs drop fifo colls carrier compressed\n"
                "  eth0:     100       1    0    0    0     0          0         0      50       "
                "1    0    0    0     0       0          0\n");
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER received = add(query, "\\Network Interface(eth0)\\Bytes Received/sec");
    PDH_HCOUNTER errors = add(query, "\\Network Interface(eth0)\\Packets Received Errors");
    collect(query);
    useTrees(after.path() + "/proc", sampleTree("crafted/sys"));
    advance(1);
    collect(query);
    Fetched fetched = fetch(received);
    EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    EXPECT_NE(fetched.counterStatus, PDH_CSTATUS_VALID_DATA);
    EXPECT_EQ(value(errors), 0);
}

TEST_F(LinuxTwoSamplesTest, TwoCollectionsAtTheSameInstantGiveNoRate)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER switches = add(query, "\\System\\Context Switches/sec");
    PDH_HCOUNTER busy = add(query, "\\PhysicalDisk(sda)\\% Disk Time");
    collect(query);
    useCrafted("t1");
    collect(query);
    EXPECT_EQ(fetch(switches).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    EXPECT_EQ(fetch(busy).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
}

TEST_F(LinuxTwoSamplesTest, LaterCollectionsUseTheLastTwo)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER switches = add(query, "\\System\\Context Switches/sec");
    collect(query);
    useCrafted("t1");
    advance(2);
    collect(query);
    EXPECT_EQ(value(switches), 2000);
    advance(4);
    collect(query);  // t1 again: nothing happened in those 4 s
    EXPECT_EQ(value(switches), 0);
}

// A counter added between collections has no rate until it has two readings
// of its own, also when it names the instance of a counter added before it;
// that one keeps its rate, and a counter without instance likewise.
TEST_F(LinuxTwoSamplesTest, CounterAddedBetweenCollectionsWaitsForTwoOfItsOwn)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER early = add(query, "\\Thread(worker/1)\\Context Switches/sec");
    PDH_HCOUNTER earlySystem = add(query, "\\System\\Context Switches/sec");
    collect(query);
    PDH_HCOUNTER late = add(query, "\\Thread(worker/1)\\Context Switches/sec");
    PDH_HCOUNTER lateSystem = add(query, "\\System\\Context Switches/sec");
    EXPECT_EQ(fetch(late).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    useCrafted("t1");
    advance(2);
    collect(query);
    EXPECT_EQ(fetch(early).status, ERROR_SUCCESS);
    EXPECT_EQ(value(earlySystem), 2000);
    EXPECT_EQ(fetch(late).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    EXPECT_EQ(fetch(late).counterStatus, PDH_CSTATUS_INVALID_DATA);
    EXPECT_EQ(fetch(lateSystem).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    advance(4);
    collect(query);  // t1 again: no switches in those 4 s
    EXPECT_EQ(value(late), 0);
    EXPECT_EQ(value(lateSystem), 0);
    EXPECT_EQ(value(early), value(late));
}

// An instance of every object whose counters all have a value in t0 and t1.
struct ObjectUnderTest {
    const char* object;
    const char* instance;  // null: the object has no instances
};
const ObjectUnderTest OBJECTS[] = {
    {"Processor", "0"},  {"Process", "my [odd] prog]"}, {"Thread", "worker/1"},
    {"Memory", nullptr}, {"System", nullptr},           {"PhysicalDisk", "sda"},
    {"LogicalDisk", "sda1"}, {"Network Interface", "eth0"}, {"Paging File", "sda2"},
    {"Processor Information", "0,0"}, {"TCPv4", nullptr}, {"TCPv6", nullptr},
    {"UDPv4", nullptr}, {"UDPv6", nullptr}, {"IPv4", nullptr}, {"IPv6", nullptr},
    {"Cache", nullptr},
};

// The I/O counters that PhysicalDisk and LogicalDisk both compute from two samples.
const char* const DISK_TWO_SAMPLE[] = {
    "Disk Reads/sec", "Disk Writes/sec", "Disk Transfers/sec", "Disk Read Bytes/sec",
    "Disk Write Bytes/sec", "Disk Bytes/sec", "% Disk Time", "% Idle Time",
    "Avg. Disk Queue Length", "Avg. Disk sec/Read", "Avg. Disk sec/Write",
    "Avg. Disk sec/Transfer", "Avg. Disk Bytes/Read", "Avg. Disk Bytes/Write",
    "Avg. Disk Bytes/Transfer", "Avg. Disk Read Queue Length", "Avg. Disk Write Queue Length",
    "% Disk Read Time", "% Disk Write Time"};

// cpu0 of the crafted /sys has idle states POLL, C1, C1E and C3: no C2.
const std::set<std::string> NEVER_SERVED = {"Processor Information/% C2 Time",
                                            "Processor Information/C2 Transitions/sec"};

// The counters computed from two samples: rates and percentages of time.
const std::set<std::string> TWO_SAMPLE_COUNTERS = {
    "Processor/% Processor Time", "Processor/% User Time", "Processor/% Privileged Time",
    "Processor/% Interrupt Time", "Processor/% DPC Time", "Processor/% Idle Time",
    "Processor/Interrupts/sec",
    "Process/% Processor Time", "Process/% User Time", "Process/% Privileged Time",
    "Process/Page Faults/sec", "Process/IO Read Operations/sec",
    "Process/IO Write Operations/sec", "Process/IO Read Bytes/sec", "Process/IO Write Bytes/sec",
    "Process/IO Data Operations/sec", "Process/IO Data Bytes/sec",
    "Thread/% Processor Time", "Thread/% User Time", "Thread/% Privileged Time",
    "Thread/Context Switches/sec",
    "Memory/Page Faults/sec", "Memory/Pages Input/sec", "Memory/Pages Output/sec",
    "Memory/Pages/sec",
    "System/Context Switches/sec", "System/Process Creations/sec",
    "Memory/Page Reads/sec",
    "Network Interface/Bytes Received/sec", "Network Interface/Bytes Sent/sec",
    "Network Interface/Bytes Total/sec", "Network Interface/Packets Received/sec",
    "Network Interface/Packets Sent/sec", "Network Interface/Packets/sec",
    "Processor Information/% Processor Time", "Processor Information/% User Time",
    "Processor Information/% Privileged Time", "Processor Information/% Interrupt Time",
    "Processor Information/% DPC Time", "Processor Information/% Idle Time",
    "Processor Information/Interrupts/sec", "Processor Information/DPCs Queued/sec",
    "Processor Information/Clock Interrupts/sec", "Processor Information/% Processor Utility",
    "Processor Information/% C1 Time", "Processor Information/% C3 Time",
    "Processor Information/C1 Transitions/sec", "Processor Information/C3 Transitions/sec",
    "Processor Information/Idle Break Events/sec",
    "UDPv4/Datagrams Received/sec", "UDPv4/Datagrams Sent/sec", "UDPv4/Datagrams/sec",
    "UDPv4/Datagrams No Port/sec",
    "UDPv6/Datagrams Received/sec", "UDPv6/Datagrams Sent/sec", "UDPv6/Datagrams/sec",
    "UDPv6/Datagrams No Port/sec",
    "IPv4/Datagrams Received/sec", "IPv4/Datagrams Sent/sec", "IPv4/Datagrams/sec",
    "IPv4/Datagrams Forwarded/sec", "IPv4/Datagrams Received Delivered/sec",
    "IPv4/Fragments Received/sec", "IPv4/Fragments Re-assembled/sec", "IPv4/Fragments Created/sec",
    "IPv6/Datagrams Received/sec", "IPv6/Datagrams Sent/sec", "IPv6/Datagrams/sec",
    "IPv6/Datagrams Forwarded/sec", "IPv6/Datagrams Received Delivered/sec",
    "IPv6/Fragments Received/sec", "IPv6/Fragments Re-assembled/sec", "IPv6/Fragments Created/sec",
};

TEST_F(LinuxTwoSamplesTest, TwoSampleKindsFailAfterOneCollectionAndEveryCounterHasAValueAfterTwo)
{
    mounts["/"] = figures(4096, 1000, 500);
    PDH_HQUERY query = openQuery();
    struct Added {
        std::string key;
        PDH_HCOUNTER counter;
    };
    std::vector<Added> added;
    for (const ObjectUnderTest& object : OBJECTS) {
        for (const std::string& counter : enumerateItems(object.object).counters) {
            std::string path = std::string("\\") + object.object +
                               (object.instance ? std::string("(") + object.instance + ")" : "") +
                               "\\" + counter;
            added.push_back(Added{std::string(object.object) + "/" + counter, add(query, path)});
        }
    }
    collect(query);
    std::set<std::string> twoSample = TWO_SAMPLE_COUNTERS;
    for (const char* disk : {"PhysicalDisk/", "LogicalDisk/"}) {
        for (const char* counter : DISK_TWO_SAMPLE) {
            twoSample.insert(std::string(disk) + counter);
        }
    }
    twoSample.insert(NEVER_SERVED.begin(), NEVER_SERVED.end());
    std::set<std::string> failing;
    for (const Added& counter : added) {
        Fetched fetched = fetch(counter.counter);
        if (fetched.status != ERROR_SUCCESS) {
            EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA)) << counter.key;
            EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_INVALID_DATA) << counter.key;
            failing.insert(counter.key);
        }
    }
    EXPECT_EQ(failing, twoSample);

    useCrafted("t1");
    advance(1);
    collect(query);
    for (const Added& counter : added) {
        EXPECT_EQ(fetch(counter.counter).status == ERROR_SUCCESS,
                  NEVER_SERVED.count(counter.key) == 0)
            << counter.key;
    }
}

} // namespace
} // namespace linuxtest

// The standard counters that monitoring setups for Windows read: Processor
// Information, the protocol objects, Cache, the disks' latencies and queues,
// across the hand-written trees t0 and t1 (two seconds apart), and the
// formulas of their kinds.
#include <gtest/gtest.h>

#include <cmath>

#include "layer_fixture.h"
#include "platform/linux/sample_math.h"

namespace linuxtest {
namespace {

class LinuxStandardCountersTest : public LayerTest {
protected:
    // Adds the paths, collects t0, then (`later` or) t1 two seconds later.
    std::vector<PDH_HCOUNTER> acrossTrees(const std::vector<std::string>& paths,
                                          const std::string& later = "")
    {
        PDH_HQUERY query = openQuery();
        std::vector<PDH_HCOUNTER> counters;
        for (const std::string& path : paths) {
            counters.push_back(add(query, path));
        }
        collect(query);
        if (later.empty()) {
            useCrafted("t1");
        } else {
            useTrees(later, sampleTree("crafted/sys"));
        }
        advance(2);
        collect(query);
        return counters;
    }
    std::vector<double> doublesAcross(const std::vector<std::string>& paths)
    {
        std::vector<double> values;
        for (PDH_HCOUNTER counter : acrossTrees(paths)) {
            PDH_FMT_COUNTERVALUE value;
            PDH_STATUS status = PdhGetFormattedCounterValue(counter, PDH_FMT_DOUBLE, nullptr, &value);
            EXPECT_EQ(status, ERROR_SUCCESS);
            values.push_back(status == ERROR_SUCCESS ? value.doubleValue : -1);
        }
        return values;
    }
    std::vector<LONG> valuesAcross(const std::vector<std::string>& paths)
    {
        std::vector<LONG> values;
        for (PDH_HCOUNTER counter : acrossTrees(paths)) {
            values.push_back(value(counter));
        }
        return values;
    }
};

using Values = std::vector<LONG>;
using Doubles = std::vector<double>;

void expectDoubles(const Doubles& got, const Doubles& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-9 * std::fabs(expected[i]) + 1e-12) << "value " << i;
    }
}

TEST_F(LinuxStandardCountersTest, ProcessorInformationNamesNodeAndCpuThenNodeTotalsThenTotal)
{
    EXPECT_EQ(enumerateItems("Processor Information").instances,
              (std::vector<std::string>{"0,0", "0,1", "0,_Total", "_Total"}));
}

TEST_F(LinuxStandardCountersTest, ProcessorInformationSharesProcessorsTimesAndAddsItsOwnCounts)
{
    // cpu0: softirqs 300 -> 700, local timer 1000 -> 3000; cpu1: 100 -> 160,
    // 500 -> 700; in 2 s.
    const std::string p = "\\Processor Information(0,0)\\";
    const std::string q = "\\Processor Information(0,1)\\";
    EXPECT_EQ(valuesAcross({p + "% Processor Time", "\\Processor(0)\\% Processor Time",
                            p + "DPCs Queued/sec", q + "DPCs Queued/sec",
                            "\\Processor Information(0,_Total)\\DPCs Queued/sec",
                            "\\Processor Information(_Total)\\DPCs Queued/sec",
                            p + "Clock Interrupts/sec", q + "Clock Interrupts/sec",
                            p + "Interrupts/sec", "\\Processor Information(_Total)\\Interrupts/sec",
                            "\\Processor Information(_Total)\\% Processor Time",
                            "\\Processor Information(0,_Total)\\% Processor Time"}),
              (Values{45, 45, 200, 30, 230, 230, 1000, 100, 1200, 500, 58, 58}));
}

TEST_F(LinuxStandardCountersTest, ProcessorInformationFrequencyAndIdleStatesFromSys)
{
    // cpu0: 2.4 GHz now, 3.2 GHz at most, 2.0 GHz base; cpu1 has no cpufreq
    // nor cpuidle, so its figures fail and the node's are cpu0's.
    const std::string p = "\\Processor Information(0,0)\\";
    const std::string q = "\\Processor Information(0,1)\\";
    PDH_HQUERY query = openQuery();
    std::vector<PDH_HCOUNTER> values;
    for (const char* counter :
         {"Processor Frequency", "% of Maximum Frequency", "% Processor Performance"}) {
        values.push_back(add(query, p + counter));
        values.push_back(add(query, "\\Processor Information(0,_Total)\\" + std::string(counter)));
    }
    PDH_HCOUNTER cpu1 = add(query, q + "Processor Frequency");
    PDH_HCOUNTER c1 = add(query, p + "% C1 Time");
    PDH_HCOUNTER c2 = add(query, p + "% C2 Time");
    PDH_HCOUNTER breaks = add(query, p + "Idle Break Events/sec");
    PDH_HCOUNTER utility = add(query, p + "% Processor Utility");
    collect(query);
    std::vector<LONG> got;
    for (PDH_HCOUNTER counter : values) {
        got.push_back(value(counter));
    }
    EXPECT_EQ(got, (Values{2400, 2400, 75, 75, 120, 120}));
    EXPECT_EQ(fetch(cpu1).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    useCrafted("t1");
    advance(2);
    collect(query);
    // The idle files stand still here: no time in C1, no break events.
    EXPECT_EQ(value(c1), 0);
    EXPECT_EQ(value(breaks), 0);
    Fetched noC2 = fetch(c2);
    EXPECT_EQ(noC2.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA)) << "C1E is not C2";
    // Busy 45 % of the time at 1.2 × the base frequency.
    EXPECT_EQ(value(utility), 54);
}

TEST_F(LinuxStandardCountersTest, IdleStatesCountTimeAndTransitionsOfTheStatesNamedC1C2C3)
{
    TreeCopy sys(sampleTree("crafted/sys"));
    useTrees(sampleTree("crafted/t0/proc"), sys.path());
    const std::string p = "\\Processor Information(0,0)\\";
    PDH_HQUERY query = openQuery();
    std::vector<PDH_HCOUNTER> counters;
    for (const char* counter : {"% C1 Time", "% C3 Time", "C1 Transitions/sec",
                                "C3 Transitions/sec", "Idle Break Events/sec"}) {
        counters.push_back(add(query, p + counter));
    }
    collect(query);
    // In 2 s: 0.5 s in C1 over 300 entries, 1 s in C3 over 60, 40 in POLL.
    const std::string state = "devices/system/cpu/cpu0/cpuidle/state";
    sys.write(state + "0/usage", "50\n");
    sys.write(state + "1/usage", "400\n");
    sys.write(state + "1/time", "700000\n");
    sys.write(state + "3/usage", "80\n");
    sys.write(state + "3/time", "1400000\n");
    advance(2);
    collect(query);
    std::vector<LONG> got;
    for (PDH_HCOUNTER counter : counters) {
        got.push_back(value(counter));
    }
    EXPECT_EQ(got, (Values{25, 50, 150, 30, 200}));
}

TEST_F(LinuxStandardCountersTest, TcpConnectionsEstablishedByFamily)
{
    // tcp: two established, one close-wait, one listening, one time-wait;
    // tcp6: one established over ::1, one over an IPv4-mapped address, one
    // listening.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER v4 = add(query, "\\TCPv4\\Connections Established");
    PDH_HCOUNTER v6 = add(query, "\\TCPv6\\Connections Established");
    collect(query);
    EXPECT_EQ(value(v4), 4);
    EXPECT_EQ(value(v6), 1);
}

TEST_F(LinuxStandardCountersTest, UdpOfBothFamilies)
{
    // Udp: in 100 -> 300, out 60 -> 100, no port 4 -> 10, errors 3 at t1;
    // Udp6: in 50 -> 90, out 40 -> 80, no port 2 -> 2, errors 1 at t1.
    // UdpLite's lines, which share the names, are not UDP's.
    std::vector<std::string> paths;
    for (const char* object : {"\\UDPv4\\", "\\UDPv6\\"}) {
        for (const char* counter : {"Datagrams Received/sec", "Datagrams Sent/sec", "Datagrams/sec",
                                    "Datagrams No Port/sec", "Datagrams Received Errors"}) {
            paths.push_back(std::string(object) + counter);
        }
    }
    EXPECT_EQ(valuesAcross(paths), (Values{100, 20, 120, 3, 3, 20, 20, 40, 0, 1}));
}

TEST_F(LinuxStandardCountersTest, IpOfBothFamilies)
{
    const std::string v4 = "\\IPv4\\";
    const std::string v6 = "\\IPv6\\";
    EXPECT_EQ(valuesAcross({v4 + "Datagrams Received/sec", v4 + "Datagrams Sent/sec",
                            v4 + "Datagrams/sec", v4 + "Datagrams Received Delivered/sec",
                            v4 + "Datagrams Received Header Errors",
                            v4 + "Datagrams Outbound No Route", v4 + "Fragments Received/sec",
                            v4 + "Fragments Re-assembled/sec", v4 + "Fragments Created/sec",
                            v4 + "Fragment Re-assembly Failures", v4 + "Fragmentation Failures",
                            v6 + "Datagrams Received/sec", v6 + "Datagrams Sent/sec",
                            v6 + "Datagrams Received Discarded",
                            v6 + "Datagrams Outbound No Route"}),
              (Values{1000, 500, 1500, 1000, 6, 1, 10, 5, 10, 1, 2, 100, 50, 2, 3}));
}

TEST_F(LinuxStandardCountersTest, CacheDirtyPagesAndMemoryPageReads)
{
    EXPECT_EQ(valuesAcross({"\\Cache\\Dirty Pages", "\\Cache\\Dirty Page Threshold",
                            "\\Memory\\Page Reads/sec"}),
              (Values{1500, 97000, 10}));
}

TEST_F(LinuxStandardCountersTest, PhysicalDiskLatenciesSizesAndQueues)
{
    // sda in 2 s: 200 reads of 4000 sectors in 400 ms, 100 writes of 2000
    // sectors in 1000 ms.
    const std::string p = "\\PhysicalDisk(sda)\\";
    expectDoubles(doublesAcross({p + "Avg. Disk sec/Read", p + "Avg. Disk sec/Write",
                                 p + "Avg. Disk sec/Transfer", p + "Avg. Disk Bytes/Read",
                                 p + "Avg. Disk Bytes/Write", p + "Avg. Disk Bytes/Transfer",
                                 p + "Avg. Disk Read Queue Length",
                                 p + "Avg. Disk Write Queue Length", p + "% Disk Read Time",
                                 p + "% Disk Write Time", p + "% Disk Time",
                                 p + "Avg. Disk Queue Length"}),
                  {0.002, 0.01, 1.4 / 300, 10240, 10240, 10240, 0.2, 0.5, 20, 50, 70, 1.0});
}

TEST_F(LinuxStandardCountersTest, AveragesOfADiskWithoutRequestsAreZeroAndTheTotalWeighsRequests)
{
    // nvme0n1 had no request between the collections; the total's averages
    // are over all requests, sda's alone here.
    expectDoubles(doublesAcross({"\\PhysicalDisk(nvme0n1)\\Avg. Disk sec/Read",
                                 "\\PhysicalDisk(nvme0n1)\\Avg. Disk Bytes/Transfer",
                                 "\\PhysicalDisk(_Total)\\Avg. Disk sec/Transfer",
                                 "\\PhysicalDisk(_Total)\\% Disk Write Time"}),
                  {0, 0, 1.4 / 300, 25});
}

TEST_F(LinuxStandardCountersTest, LogicalDiskReadsItsOwnDevicesLine)
{
    // sda1 in 2 s: 100 reads of 2000 sectors in 200 ms, no writes; the
    // partition's line, not its disk's.
    const std::string p = "\\LogicalDisk(sda1)\\";
    expectDoubles(doublesAcross({p + "Disk Reads/sec", p + "Disk Read Bytes/sec",
                                 p + "Avg. Disk sec/Read", p + "Avg. Disk sec/Write",
                                 p + "Avg. Disk Bytes/Read", p + "% Disk Read Time",
                                 p + "% Disk Time", p + "Current Disk Queue Length",
                                 "\\LogicalDisk(_Total)\\Disk Reads/sec"}),
                  {50, 512000, 0.002, 0, 10240, 10, 10, 1, 50});
}

TEST_F(LinuxStandardCountersTest, DiskThatDisappearsOrWhoseCountsWentBackHasNoAverage)
{
    // Between the collections nvme0n1 was removed and sda was reset (its
    // counts started again from 0).
    TreeCopy after(sampleTree("crafted/t1"));
    after.write("proc/diskstats", "   8       0 sda 5 0 80 1 1 0 16 1 0 2 3 0 0 0 0 0 0\n");
    std::vector<PDH_HCOUNTER> counters =
        acrossTrees({"\\PhysicalDisk(nvme0n1)\\Avg. Disk sec/Read",
                     "\\PhysicalDisk(sda)\\Avg. Disk sec/Read",
                     "\\PhysicalDisk(sda)\\Avg. Disk Queue Length",
                     "\\PhysicalDisk(sda)\\% Disk Time"},
                    after.path() + "/proc");
    const DWORD expected[] = {PDH_CSTATUS_NO_INSTANCE, static_cast<DWORD>(PDH_CALC_NEGATIVE_DENOMINATOR),
                              static_cast<DWORD>(PDH_CALC_NEGATIVE_VALUE),
                              static_cast<DWORD>(PDH_CALC_NEGATIVE_VALUE)};
    for (size_t i = 0; i < counters.size(); ++i) {
        Fetched fetched = fetch(counters[i]);
        EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA)) << i;
        EXPECT_EQ(fetched.counterStatus, expected[i]) << i;
    }
}

// The formulas of the kinds, over readings made by hand.
CounterReading reading(int64_t a, int64_t b, int64_t timeNs)
{
    return CounterReading{true, InstanceIdentity{1, 2}, RawValue{a, b, true}, timeNs};
}

double computed(CounterKind kind, const CounterReading& before, const CounterReading& after,
                DWORD* status = nullptr)
{
    CounterDef def = {"test", kind, 0, 1.0, TOTAL_NONE};
    ComputedValue value = computeCounterValue(def, before, after, false);
    if (status) {
        *status = value.status;
    }
    return value.status == PDH_CSTATUS_VALID_DATA ? toDoubleValue(value) : -1;
}

TEST(LinuxKindsTest, AverageIsTheTimeOrSizePerEventAndZeroWithoutEvents)
{
    const int64_t ms = 1000000;
    EXPECT_DOUBLE_EQ(computed(KIND_AVERAGE_TIMER, reading(100 * ms, 10, 0), reading(400 * ms, 110, 1e9)),
                     0.003);
    EXPECT_DOUBLE_EQ(computed(KIND_AVERAGE_BULK, reading(4096, 1, 0), reading(4096 + 8192 * 4, 5, 1e9)),
                     8192);
    DWORD status;
    EXPECT_EQ(computed(KIND_AVERAGE_TIMER, reading(5 * ms, 10, 0), reading(5 * ms, 10, 1e9), &status), 0);
    EXPECT_EQ(status, PDH_CSTATUS_VALID_DATA) << "PDH answers 0, not a failure";
    EXPECT_EQ(computed(KIND_AVERAGE_BULK, reading(7, 3, 0), reading(7, 3, 1e9), &status), 0);
    EXPECT_EQ(status, PDH_CSTATUS_VALID_DATA);
}

TEST(LinuxKindsTest, QueueIsTheTimeSummedOverRequestsAgainstTheTime)
{
    const int64_t ms = 1000000;
    EXPECT_DOUBLE_EQ(computed(KIND_QUEUE, reading(1000 * ms, 0, 0), reading(4000 * ms, 0, 2e9)), 1.5);
    // As a percentage: × 100, capped at 100 (four requests in flight all along).
    EXPECT_DOUBLE_EQ(computed(KIND_QUEUE_PERCENT, reading(0, 0, 0), reading(300 * ms, 2e9, 2e9)), 15);
    EXPECT_DOUBLE_EQ(computed(KIND_QUEUE_PERCENT, reading(0, 0, 0), reading(8000 * ms, 2e9, 2e9)), 100);
    DWORD status;
    computed(KIND_QUEUE, reading(0, 0, 5), reading(10, 0, 5), &status);
    EXPECT_EQ(status, static_cast<DWORD>(PDH_CALC_NEGATIVE_TIMEBASE)) << "no time passed";
}

TEST(LinuxKindsTest, CountsThatWrappedOrWereResetGiveNoFigure)
{
    // A 32-bit count that wrapped, and one that restarted from 0.
    const int64_t wrapped = 0xfffffff0;
    DWORD status;
    for (CounterKind kind : {KIND_AVERAGE_TIMER, KIND_AVERAGE_BULK, KIND_QUEUE, KIND_QUEUE_PERCENT,
                             KIND_RATE}) {
        computed(kind, reading(wrapped, 100, 0), reading(0x10, 200, 1e9), &status);
        EXPECT_EQ(status, static_cast<DWORD>(PDH_CALC_NEGATIVE_VALUE)) << kind;
    }
    computed(KIND_AVERAGE_TIMER, reading(10, 100, 0), reading(20, 5, 1e9), &status);
    EXPECT_EQ(status, static_cast<DWORD>(PDH_CALC_NEGATIVE_DENOMINATOR));
}

TEST(LinuxKindsTest, TwoSampleKindsRefuseAnotherInstanceOrAMissingOne)
{
    CounterReading before = reading(0, 0, 0);
    CounterReading after = reading(10, 10, 1e9);
    after.identity.second = 3;  // the same name, another device
    DWORD status;
    computed(KIND_AVERAGE_BULK, before, after, &status);
    EXPECT_EQ(status, PDH_CSTATUS_INVALID_DATA);
    after.present = false;
    computed(KIND_QUEUE, before, after, &status);
    EXPECT_EQ(status, PDH_CSTATUS_NO_INSTANCE);
}

TEST(LinuxKindsTest, FractionOfOneCollection)
{
    CounterReading none = {false, InstanceIdentity{0, 0}, RawValue{0, 0, false}, 0};
    EXPECT_DOUBLE_EQ(computed(KIND_FRACTION, none, reading(3, 12, 0)), 25);
    DWORD status;
    computed(KIND_FRACTION, none, reading(3, 0, 0), &status);
    EXPECT_EQ(status, PDH_CSTATUS_INVALID_DATA);
}

} // namespace
} // namespace linuxtest

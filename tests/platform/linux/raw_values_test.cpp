// Raw samples and counter types: PDH's formula for the type a counter
// reports, applied to its raw samples of two collections, must give the value
// the layer formats from the same two collections.  The formulas here are
// written from the SDK's definitions of the types, not from the layer's code.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "layer_fixture.h"

namespace linuxtest {
namespace {

struct RawFetch {
    PDH_STATUS status;
    DWORD type;
    PDH_RAW_COUNTER raw;
};

RawFetch rawOf(PDH_HCOUNTER counter)
{
    RawFetch fetched = {};
    fetched.status = PdhGetRawCounterValue(counter, &fetched.type, &fetched.raw);
    return fetched;
}

// What PDH shows for two raw samples of a type, percentages capped at 100.
double pdhFormula(DWORD type, const PDH_RAW_COUNTER& before, const PDH_RAW_COUNTER& after,
                  LONGLONG timeBase)
{
    const double first = static_cast<double>(after.FirstValue - before.FirstValue);
    const double second = static_cast<double>(after.SecondValue - before.SecondValue);
    auto capped = [](double percent) { return std::min(100.0, std::max(0.0, percent)); };
    switch (type) {
    case PERF_COUNTER_LARGE_RAWCOUNT:
        return static_cast<double>(after.FirstValue);
    case PERF_COUNTER_BULK_COUNT:
        return first / (second / static_cast<double>(timeBase));
    case PERF_100NSEC_TIMER:
        return capped(100.0 * first / second);
    case PERF_100NSEC_TIMER_INV:
        return capped(100.0 - 100.0 * first / second);
    case PERF_RAW_FRACTION:
        return capped(100.0 * static_cast<double>(after.FirstValue) /
                      static_cast<double>(after.SecondValue));
    case PERF_PRECISION_100NS_TIMER:
        return capped(100.0 * first / second);
    case PERF_COUNTER_100NS_QUEUELEN_TYPE:
        return first / second;
    case PERF_AVERAGE_TIMER:
        return second == 0 ? 0.0 : first / static_cast<double>(timeBase) / second;
    case PERF_AVERAGE_BULK:
        return second == 0 ? 0.0 : first / second;
    case PERF_ELAPSED_TIME:
        return static_cast<double>(after.SecondValue - after.FirstValue) /
               static_cast<double>(timeBase);
    default:
        ADD_FAILURE() << "a type this test does not know: " << std::hex << type;
        return NAN;
    }
}

class LinuxRawValuesTest : public LayerTest {
protected:
    // Adds the paths, collects t0, keeps the raw samples, then collects t1
    // `seconds` later.
    std::vector<PDH_HCOUNTER> acrossTrees(const std::vector<std::string>& paths,
                                          std::vector<RawFetch>& before, double seconds)
    {
        PDH_HQUERY query = openQuery();
        std::vector<PDH_HCOUNTER> counters;
        for (const std::string& path : paths) {
            counters.push_back(add(query, path));
        }
        collect(query);
        for (PDH_HCOUNTER counter : counters) {
            before.push_back(rawOf(counter));
        }
        useCrafted("t1");
        advance(seconds);
        collect(query);
        return counters;
    }
};

TEST_F(LinuxRawValuesTest, TwoRawSamplesGiveTheFormattedValueOfEveryKind)
{
    const std::vector<std::string> paths = {
        "\\Memory\\Available Bytes",               // a value
        "\\Memory\\Page Faults/sec",               // a rate
        "\\Processor(1)\\% Processor Time",        // a time of the CPU lines
        "\\Processor(1)\\% Idle Time",
        "\\Thread(worker/1)\\% Processor Time",   // a time of a task
        "\\PhysicalDisk(sda)\\% Idle Time",       // an inverse time
        "\\Network Interface(eth0)\\Bytes Received/sec",
        "\\System\\System Up Time",                // an elapsed time
    };
    std::vector<RawFetch> before;
    std::vector<PDH_HCOUNTER> counters = acrossTrees(paths, before, 2);
    for (size_t i = 0; i < counters.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        RawFetch after = rawOf(counters[i]);
        ASSERT_EQ(before[i].status, 0);
        ASSERT_EQ(after.status, 0);
        EXPECT_EQ(after.raw.CStatus, PDH_CSTATUS_VALID_DATA);
        EXPECT_EQ(before[i].type, after.type);

        // The type that PdhGetCounterInfoA tells is the raw fetch's.
        DWORD size = 0;
        ASSERT_TRUE(pdhStatusIs(PdhGetCounterInfoA(counters[i], FALSE, &size, nullptr),
                                PDH_MORE_DATA));
        std::vector<char> buffer(size);
        auto* info = reinterpret_cast<PDH_COUNTER_INFO_A*>(buffer.data());
        ASSERT_EQ(PdhGetCounterInfoA(counters[i], FALSE, &size, info), 0);
        EXPECT_EQ(info->dwType, after.type);
        EXPECT_STREQ(info->szCounterName, paths[i].substr(paths[i].rfind('\\') + 1).c_str());

        LONGLONG timeBase = 0;
        ASSERT_EQ(PdhGetCounterTimeBase(counters[i], &timeBase), 0);
        ASSERT_GT(timeBase, 0);

        PDH_FMT_COUNTERVALUE formatted;
        ASSERT_EQ(PdhGetFormattedCounterValue(counters[i], PDH_FMT_DOUBLE, nullptr, &formatted),
                  0);
        double expected = pdhFormula(after.type, before[i].raw, after.raw, timeBase);
        EXPECT_NEAR(expected, formatted.doubleValue,
                    1e-6 * std::max(1.0, std::fabs(formatted.doubleValue)));
    }
}

// Every counter of one instance of every object, across t0 and t1: each
// type's raw form gives the formatted value, and the types are the ones each
// kind of counter has on Windows.
TEST_F(LinuxRawValuesTest, EveryCounterOfEveryObjectFormatsAsPdhsFormulaOfItsRawSamples)
{
    mounts["/"] = figures(4096, 1000, 500);
    const char* const objects[][2] = {
        {"Processor", "0"},   {"Process", "my [odd] prog]"}, {"Thread", "worker/1"},
        {"Memory", nullptr},  {"System", nullptr},           {"PhysicalDisk", "sda"},
        {"LogicalDisk", "sda1"}, {"Network Interface", "eth0"}, {"Paging File", "sda2"},
        {"Processor Information", "0,0"}, {"TCPv4", nullptr}, {"TCPv6", nullptr},
        {"UDPv4", nullptr},   {"UDPv6", nullptr},            {"IPv4", nullptr},
        {"IPv6", nullptr},    {"Cache", nullptr},            {"PhysicalDisk", "nvme0n1"},
        {"PhysicalDisk", "_Total"}, {"Processor Information", "_Total"},
    };
    std::vector<std::string> paths;
    for (const auto& object : objects) {
        for (const std::string& counter : enumerateItems(object[0]).counters) {
            paths.push_back(std::string("\\") + object[0] +
                            (object[1] ? std::string("(") + object[1] + ")" : "") + "\\" + counter);
        }
    }
    std::vector<RawFetch> before;
    std::vector<PDH_HCOUNTER> counters = acrossTrees(paths, before, 2.5);
    std::map<DWORD, int> types;
    for (size_t i = 0; i < counters.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        RawFetch after = rawOf(counters[i]);
        PDH_FMT_COUNTERVALUE formatted;
        PDH_STATUS status =
            PdhGetFormattedCounterValue(counters[i], PDH_FMT_DOUBLE, nullptr, &formatted);
        // A counter without a source here (no C2 state) has no raw sample either.
        EXPECT_EQ(after.status == 0, status == 0);
        if (status != 0 || before[i].status != 0) {
            continue;
        }
        ++types[after.type];
        double expected = pdhFormula(after.type, before[i].raw, after.raw, 10000000);
        EXPECT_NEAR(expected, formatted.doubleValue,
                    1e-9 * std::max(1.0, std::fabs(formatted.doubleValue)));
        PDH_FMT_COUNTERVALUE whole;
        ASSERT_EQ(PdhGetFormattedCounterValue(counters[i], PDH_FMT_LONG, nullptr, &whole), 0);
        EXPECT_EQ(whole.longValue, static_cast<LONG>(std::min(expected, 2147483647.0)));
    }
    for (DWORD type : {PERF_COUNTER_LARGE_RAWCOUNT, PERF_COUNTER_BULK_COUNT, PERF_100NSEC_TIMER,
                       PERF_100NSEC_TIMER_INV, PERF_ELAPSED_TIME, PERF_RAW_FRACTION,
                       PERF_AVERAGE_TIMER, PERF_AVERAGE_BULK, PERF_COUNTER_100NS_QUEUELEN_TYPE,
                       PERF_PRECISION_100NS_TIMER}) {
        EXPECT_GT(types[type], 0) << "no counter of type " << std::hex << type;
    }
}

TEST_F(LinuxRawValuesTest, NoRawSampleBeforeACollectionOrForAMissingInstance)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER counter = add(query, "\\Memory\\Available Bytes");
    RawFetch none = rawOf(counter);
    EXPECT_TRUE(pdhStatusIs(none.status, PDH_INVALID_DATA));
    EXPECT_EQ(none.raw.CStatus, PDH_CSTATUS_INVALID_DATA);

    PDH_HCOUNTER missing = add(query, "\\Process(no such process)\\Working Set");
    collect(query);
    RawFetch gone = rawOf(missing);
    EXPECT_TRUE(pdhStatusIs(gone.status, PDH_INVALID_DATA));
    EXPECT_EQ(gone.raw.CStatus, PDH_CSTATUS_NO_INSTANCE);
    EXPECT_EQ(rawOf(counter).status, 0);
}

} // namespace
} // namespace linuxtest

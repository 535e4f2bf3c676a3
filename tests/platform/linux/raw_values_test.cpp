// Raw samples and counter types: PDH's formula for the type a counter
// reports, applied to its raw samples of two collections, must give the value
// the layer formats from the same two collections.  The formulas here are
// written from the SDK's definitions of the types, not from the layer's code.
#include <gtest/gtest.h>

#include <cmath>
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
    case PERF_ELAPSED_TIME:
        return static_cast<double>(after.SecondValue - after.FirstValue) /
               static_cast<double>(timeBase);
    default:
        ADD_FAILURE() << "a type this test does not know: " << std::hex << type;
        return NAN;
    }
}

class LinuxRawValuesTest : public LayerTest {};

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
    PDH_HQUERY query = openQuery();
    std::vector<PDH_HCOUNTER> counters;
    for (const std::string& path : paths) {
        counters.push_back(add(query, path));
    }
    collect(query);
    std::vector<RawFetch> before;
    for (PDH_HCOUNTER counter : counters) {
        before.push_back(rawOf(counter));
    }
    useCrafted("t1");
    advance(2);
    collect(query);
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

// The period of --interval, driven by a clock the test moves: pass costs in,
// start times out.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "driver/pass_schedule.h"

namespace {

// A run as the sampling loop makes it: each pass costs its entry of `costs`
// on the clock, then the loop sleeps until the next pass is due (not at all
// when that time has passed).  Answers the times at which the passes started.
std::vector<int64_t> passStarts(int64_t start, uint32_t interval, const std::vector<int64_t>& costs)
{
    int64_t clock = start;
    PassSchedule schedule = startSchedule(clock, interval);
    std::vector<int64_t> starts;
    for (size_t i = 0; i < costs.size(); ++i) {
        if (i > 0) {
            int64_t due = takeNextPeriod(&schedule, clock);
            if (due > clock) {
                clock = due;
            }
        }
        starts.push_back(clock);
        clock += costs[i];
    }
    return starts;
}

TEST(PassSchedule, PassesShorterThanThePeriodKeepTheGridWhateverTheyCost)
{
    EXPECT_EQ(passStarts(5000, 200, {0, 199, 50, 120, 1}),
              (std::vector<int64_t>{5000, 5200, 5400, 5600, 5800}));
    // The cost of a pass never adds up: after 1000 passes of 150 ms at a
    // 200 ms period the run has not drifted at all.
    std::vector<int64_t> costs(1001, 150);
    EXPECT_EQ(passStarts(0, 200, costs).back(), 200000);
}

TEST(PassSchedule, AnOverrunStartsTheNextPassAtOnceAndSkipsTheMissedPeriods)
{
    // Pass 1 (due 100) runs 250 ms, into period 3: pass 2 starts at once, at
    // 350, as the pass of period 3; pass 3 is due at 400, back on the grid.
    EXPECT_EQ(passStarts(0, 100, {10, 250, 10, 10}), (std::vector<int64_t>{0, 100, 350, 400}));
    // No burst: one late pass is followed by one pass, not one per period missed.
    EXPECT_EQ(passStarts(0, 100, {1000, 10, 10}), (std::vector<int64_t>{0, 1000, 1100}));
    // Overrunning by less than a period still keeps the grid after it.
    EXPECT_EQ(passStarts(0, 100, {130, 10, 10}), (std::vector<int64_t>{0, 130, 200}));
}

TEST(PassSchedule, APassEndingRightOnADueTimeStartsTheNextThen)
{
    PassSchedule schedule = startSchedule(0, 100);
    EXPECT_EQ(takeNextPeriod(&schedule, 100), 100);  // due now: no wait, no skip
    EXPECT_EQ(schedule.period, 1);
    EXPECT_EQ(takeNextPeriod(&schedule, 199), 200);
    EXPECT_EQ(takeNextPeriod(&schedule, 400), 400);  // period 3 missed, 4 taken
    EXPECT_EQ(schedule.period, 4);
}

TEST(PassSchedule, LongIntervalsAndLongRunsStayExact)
{
    // A day apart, for the longest --count: the due times need 64 bits.
    const uint32_t day = 86400000;
    PassSchedule schedule = startSchedule(1000, day);
    schedule.period = 4294967294LL;
    EXPECT_EQ(takeNextPeriod(&schedule, 1000 + 4294967294LL * day + 5),
              1000 + 4294967295LL * day);
    // A pass that runs three days late skips to the period it is in.
    schedule = startSchedule(0, day);
    EXPECT_EQ(takeNextPeriod(&schedule, 3LL * day + 7), 3LL * day);
    EXPECT_EQ(takeNextPeriod(&schedule, 3LL * day + 9), 4LL * day);
    // The shortest period, a tenth of a second, on a clock far from zero.
    EXPECT_EQ(passStarts(9000000000000LL, 100, {10, 10}),
              (std::vector<int64_t>{9000000000000LL, 9000000000100LL}));
}

} // namespace

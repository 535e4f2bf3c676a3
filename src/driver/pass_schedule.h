// The period of --interval: pass k is due at the start plus k intervals on a
// clock that only moves forward, whatever each pass costs.  A pass that runs
// past the due time of the next starts that one at once and skips the periods
// it missed, so the run keeps its grid without a burst to catch up.  Plain
// arithmetic on the times given, so that tests can drive it with any clock.
#ifndef MIREKAST_DRIVER_PASS_SCHEDULE_H
#define MIREKAST_DRIVER_PASS_SCHEDULE_H

#include <cstdint>

struct PassSchedule {
    int64_t startMillis;    // when period 0 began
    int64_t intervalMillis; // length of a period, at least 1
    int64_t period;         // the period of the pass last started
};

// A schedule whose period 0 begins at `now`.
PassSchedule startSchedule(int64_t now, uint32_t intervalMillis);

// Takes the period of the next pass, with the clock at `now`, and answers
// when it is due.  On time: the next period, due in the future.  Late: the
// latest period that has begun (those before it are skipped), due at or before
// `now`, so the pass starts at once.
int64_t takeNextPeriod(PassSchedule* schedule, int64_t now);

#endif

#include "driver/pass_schedule.h"

PassSchedule startSchedule(int64_t now, uint32_t intervalMillis)
{
    PassSchedule schedule = {now, intervalMillis != 0 ? intervalMillis : 1, 0};
    return schedule;
}

int64_t takeNextPeriod(PassSchedule* schedule, int64_t now)
{
    int64_t next = schedule->period + 1;
    int64_t elapsed = now - schedule->startMillis;
    if (elapsed >= next * schedule->intervalMillis) {
        next = elapsed / schedule->intervalMillis;
    }
    schedule->period = next;
    return schedule->startMillis + next * schedule->intervalMillis;
}

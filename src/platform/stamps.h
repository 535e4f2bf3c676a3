// What the machine-readable report forms stamp their output with: the time a
// pass was collected and the name of the machine.
#ifndef MIREKAST_PLATFORM_STAMPS_H
#define MIREKAST_PLATFORM_STAMPS_H

#include <cstdint>

struct WallTime {
    int64_t utcMillis;       // since 1970-01-01T00:00:00Z
    int32_t biasMinutes;     // UTC minus local time, as Windows counts it: 60 west of UTC by one hour
    char zoneName[64];       // the local time zone's name, as the system spells it
};

// The current time.  Never fails.
WallTime wallClockNow();

// The machine's name, as a counter path's \\HOST part gives it; never null.
const char* machineName();

#endif

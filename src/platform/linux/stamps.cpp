#include "platform/stamps.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

WallTime wallClockNow()
{
    WallTime now = {};
    struct timespec clock = {};
    clock_gettime(CLOCK_REALTIME, &clock);
    now.utcMillis = static_cast<int64_t>(clock.tv_sec) * 1000 + clock.tv_nsec / 1000000;
    struct tm local = {};
    time_t seconds = clock.tv_sec;
    if (localtime_r(&seconds, &local) != nullptr) {
        now.biasMinutes = static_cast<int32_t>(-local.tm_gmtoff / 60);
        snprintf(now.zoneName, sizeof now.zoneName, "%s",
                 local.tm_zone != nullptr ? local.tm_zone : "UTC");
    } else {
        snprintf(now.zoneName, sizeof now.zoneName, "UTC");
    }
    return now;
}

const char* machineName()
{
    static char name[256];
    if (name[0] == '\0' && (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')) {
        snprintf(name, sizeof name, "localhost");
    }
    return name;
}

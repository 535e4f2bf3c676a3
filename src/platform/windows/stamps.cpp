#include "platform/stamps.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

// FILETIME counts 100 ns from 1601-01-01; the Unix epoch is this many later.
static const int64_t EPOCH_DIFFERENCE_MILLIS = 11644473600000LL;

WallTime wallClockNow()
{
    WallTime now = {};
    FILETIME fileTime;
    GetSystemTimeAsFileTime(&fileTime);
    ULARGE_INTEGER ticks;
    ticks.LowPart = fileTime.dwLowDateTime;
    ticks.HighPart = fileTime.dwHighDateTime;
    now.utcMillis = static_cast<int64_t>(ticks.QuadPart / 10000) - EPOCH_DIFFERENCE_MILLIS;
    TIME_ZONE_INFORMATION zone;
    DWORD which = GetTimeZoneInformation(&zone);
    const WCHAR* zoneName = zone.StandardName;
    now.biasMinutes = static_cast<int32_t>(zone.Bias);
    if (which == TIME_ZONE_ID_DAYLIGHT) {
        zoneName = zone.DaylightName;
        now.biasMinutes += static_cast<int32_t>(zone.DaylightBias);
    } else if (which == TIME_ZONE_ID_STANDARD) {
        now.biasMinutes += static_cast<int32_t>(zone.StandardBias);
    }
    if (which == TIME_ZONE_ID_INVALID ||
        WideCharToMultiByte(CP_ACP, 0, zoneName, -1, now.zoneName, sizeof now.zoneName, nullptr,
                            nullptr) == 0) {
        now.biasMinutes = 0;
        snprintf(now.zoneName, sizeof now.zoneName, "Coordinated Universal Time");
    }
    return now;
}

const char* machineName()
{
    static char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    if (name[0] == '\0' && (!GetComputerNameA(name, &size) || name[0] == '\0')) {
        snprintf(name, sizeof name, "localhost");
    }
    return name;
}

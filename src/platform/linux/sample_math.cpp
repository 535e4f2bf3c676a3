#include "platform/linux/sample_math.h"

#include <cmath>

namespace {

ComputedValue failed(DWORD status)
{
    return ComputedValue{status, false, 0, 0.0};
}

ComputedValue real(double value)
{
    return ComputedValue{PDH_CSTATUS_VALID_DATA, false, 0, value};
}

double capPercent(double value, bool noCap)
{
    if (value < 0.0) {
        // Idle and iowait ticks of /proc/stat may step back a little.
        return 0.0;
    }
    return (!noCap && value > 100.0) ? 100.0 : value;
}

} // namespace

ComputedValue computeCounterValue(const CounterDef& def, const CounterReading& previous,
                                  const CounterReading& latest, bool noCap)
{
    if (!latest.present) {
        return failed(PDH_CSTATUS_NO_INSTANCE);
    }
    if (!latest.raw.valid) {
        return failed(PDH_CSTATUS_INVALID_DATA);
    }
    const RawValue& now = latest.raw;
    switch (def.kind) {
    case KIND_VALUE:
        if (def.scale == 1.0) {
            return ComputedValue{PDH_CSTATUS_VALID_DATA, true, now.a, 0.0};
        }
        return real(static_cast<double>(now.a) * def.scale);
    case KIND_FRACTION:
        if (now.b <= 0) {
            return failed(PDH_CSTATUS_INVALID_DATA);
        }
        return real(capPercent(100.0 * static_cast<double>(now.a) / static_cast<double>(now.b),
                               noCap));
    case KIND_ELAPSED:
        return real(now.a > now.b ? static_cast<double>(now.a - now.b) / 1e9 : 0.0);
    case KIND_RATE:
    case KIND_PERCENT:
    case KIND_PERCENT_INVERSE:
        break;
    }

    // The two-sample kinds need the same instance in both collections.
    if (!previous.present || !previous.raw.valid ||
        previous.identity.first != latest.identity.first ||
        previous.identity.second != latest.identity.second) {
        return failed(PDH_CSTATUS_INVALID_DATA);
    }
    const RawValue& before = previous.raw;
    double delta = static_cast<double>(now.a - before.a);
    if (def.kind == KIND_RATE) {
        int64_t elapsed = latest.timeNs - previous.timeNs;
        if (elapsed <= 0) {
            return failed(PDH_CALC_NEGATIVE_TIMEBASE);
        }
        if (delta < 0) {
            // A counter that went back was reset: there is no honest rate.
            return failed(PDH_CALC_NEGATIVE_VALUE);
        }
        return real(delta * 1e9 / static_cast<double>(elapsed) * def.scale);
    }
    int64_t base = now.b - before.b;
    if (base <= 0) {
        return failed(base < 0 ? PDH_CALC_NEGATIVE_DENOMINATOR : PDH_CSTATUS_INVALID_DATA);
    }
    double share = 100.0 * delta / static_cast<double>(base);
    if (def.kind == KIND_PERCENT_INVERSE) {
        share = 100.0 - share;
    }
    return real(capPercent(share, noCap));
}

LONG toLongValue(const ComputedValue& value)
{
    if (value.isInteger) {
        if (value.integer > INT32_MAX) {
            return INT32_MAX;
        }
        return value.integer < INT32_MIN ? INT32_MIN : static_cast<LONG>(value.integer);
    }
    if (std::isnan(value.real)) {
        return 0;
    }
    if (value.real >= 2147483647.0) {
        return INT32_MAX;
    }
    if (value.real <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<LONG>(value.real);  // the conversion truncates toward zero
}

LONGLONG toLargeValue(const ComputedValue& value)
{
    if (value.isInteger) {
        return value.integer;
    }
    if (std::isnan(value.real)) {
        return 0;
    }
    if (value.real >= 9223372036854775807.0) {
        return INT64_MAX;
    }
    if (value.real <= -9223372036854775808.0) {
        return INT64_MIN;
    }
    return static_cast<LONGLONG>(value.real);
}

double toDoubleValue(const ComputedValue& value)
{
    return value.isInteger ? static_cast<double>(value.integer) : value.real;
}

DWORD counterTypeOf(CounterKind kind)
{
    switch (kind) {
    case KIND_VALUE:
        return 0x00010100;  // PERF_COUNTER_LARGE_RAWCOUNT
    case KIND_FRACTION:
        return 0x20020400;  // PERF_RAW_FRACTION
    case KIND_RATE:
        return 0x10410500;  // PERF_COUNTER_BULK_COUNT
    case KIND_PERCENT:
        return 0x20510500;  // PERF_100NSEC_TIMER
    case KIND_PERCENT_INVERSE:
        return 0x21510500;  // PERF_100NSEC_TIMER_INV
    case KIND_ELAPSED:
        return 0x30240500;  // PERF_ELAPSED_TIME
    }
    return 0;
}

RawCounterPair rawCounterPair(const CounterDef& def, const CounterReading& latest, int64_t unixNs)
{
    // A FILETIME counts from 1601, 11,644,473,600 s before the Unix epoch.
    const LONGLONG wallTime = unixNs / 100 + 11644473600LL * RAW_TIME_BASE;
    RawCounterPair pair = {PDH_CSTATUS_VALID_DATA, 0, 0, wallTime};
    if (!latest.present) {
        pair.status = PDH_CSTATUS_NO_INSTANCE;
        return pair;
    }
    if (!latest.raw.valid) {
        pair.status = PDH_CSTATUS_INVALID_DATA;
        return pair;
    }
    const RawValue& now = latest.raw;
    switch (def.kind) {
    case KIND_VALUE:
        pair.first = toLargeValue(computeCounterValue(def, latest, latest, true));
        break;
    case KIND_FRACTION:
        pair.first = now.a;
        pair.second = now.b;
        break;
    case KIND_RATE:
        pair.first = static_cast<LONGLONG>(static_cast<double>(now.a) * def.scale);
        pair.second = latest.timeNs / 100;
        break;
    case KIND_PERCENT:
    case KIND_PERCENT_INVERSE:
        pair.first = now.a / 100;
        pair.second = now.b / 100;
        break;
    case KIND_ELAPSED:
        // The start as Unix time: the collection's time less the age.
        pair.second = unixNs / 100;
        pair.first = pair.second - (now.a > now.b ? (now.a - now.b) / 100 : 0);
        break;
    }
    return pair;
}

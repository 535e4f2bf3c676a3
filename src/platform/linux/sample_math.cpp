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

int64_t inTimeBase(int64_t nanoseconds)
{
    return nanoseconds / (1000000000 / RAW_TIME_BASE);
}

} // namespace

RawPair rawPairOf(const CounterDef& def, const CounterReading& reading)
{
    const RawValue& raw = reading.raw;
    switch (def.kind) {
    case KIND_VALUE:
        // Scaled whole, as Windows keeps "KBytes" and "MBytes" counters.
        return RawPair{def.scale == 1.0 ? raw.a
                                        : static_cast<int64_t>(static_cast<double>(raw.a) * def.scale),
                       0};
    case KIND_FRACTION:
    case KIND_AVERAGE_BULK:
        return RawPair{raw.a, raw.b};
    case KIND_RATE:
        return RawPair{def.scale == 1.0 ? raw.a
                                        : static_cast<int64_t>(static_cast<double>(raw.a) * def.scale),
                       inTimeBase(reading.timeNs)};
    case KIND_PERCENT:
    case KIND_PERCENT_INVERSE:
    case KIND_QUEUE_PERCENT:
        return RawPair{inTimeBase(raw.a), inTimeBase(raw.b)};
    case KIND_ELAPSED:
        return RawPair{inTimeBase(raw.b), inTimeBase(raw.a)};
    case KIND_AVERAGE_TIMER:
        return RawPair{inTimeBase(raw.a), raw.b};
    case KIND_QUEUE:
        return RawPair{inTimeBase(raw.a), inTimeBase(reading.timeNs)};
    }
    return RawPair{0, 0};
}

ComputedValue computeCounterValue(const CounterDef& def, const CounterReading& previous,
                                  const CounterReading& latest, bool noCap)
{
    if (!latest.present) {
        return failed(PDH_CSTATUS_NO_INSTANCE);
    }
    if (!latest.raw.valid) {
        return failed(PDH_CSTATUS_INVALID_DATA);
    }
    // Every value is PDH's formula for the counter's type over the raw form,
    // so that the raw samples a caller reads give the same figures.
    RawPair now = rawPairOf(def, latest);
    switch (def.kind) {
    case KIND_VALUE:
        return ComputedValue{PDH_CSTATUS_VALID_DATA, true, now.first, 0.0};
    case KIND_FRACTION:
        if (now.second <= 0) {
            return failed(PDH_CSTATUS_INVALID_DATA);
        }
        return real(capPercent(100.0 * static_cast<double>(now.first) /
                                   static_cast<double>(now.second),
                               noCap));
    case KIND_ELAPSED:
        return real(now.second > now.first
                        ? static_cast<double>(now.second - now.first) / static_cast<double>(RAW_TIME_BASE)
                        : 0.0);
    default:
        break;
    }

    // The two-sample kinds need the same instance in both collections.
    if (!previous.present || !previous.raw.valid ||
        previous.identity.first != latest.identity.first ||
        previous.identity.second != latest.identity.second) {
        return failed(PDH_CSTATUS_INVALID_DATA);
    }
    RawPair before = rawPairOf(def, previous);
    int64_t delta = now.first - before.first;
    int64_t base = now.second - before.second;
    switch (def.kind) {
    case KIND_RATE:
    case KIND_QUEUE:
        if (base <= 0) {
            return failed(PDH_CALC_NEGATIVE_TIMEBASE);
        }
        if (delta < 0) {
            // A counter that went back was reset or wrapped: there is no
            // honest figure.
            return failed(PDH_CALC_NEGATIVE_VALUE);
        }
        if (def.kind == KIND_QUEUE) {
            return real(static_cast<double>(delta) / static_cast<double>(base));
        }
        return real(static_cast<double>(delta) /
                    (static_cast<double>(base) / static_cast<double>(RAW_TIME_BASE)));
    case KIND_AVERAGE_TIMER:
    case KIND_AVERAGE_BULK:
        if (delta < 0 || base < 0) {
            return failed(base < 0 ? PDH_CALC_NEGATIVE_DENOMINATOR : PDH_CALC_NEGATIVE_VALUE);
        }
        if (base == 0) {
            // No events in between: PDH answers 0, not a failure.
            return real(0.0);
        }
        if (def.kind == KIND_AVERAGE_TIMER) {
            return real(static_cast<double>(delta) / static_cast<double>(RAW_TIME_BASE) /
                        static_cast<double>(base));
        }
        return real(static_cast<double>(delta) / static_cast<double>(base));
    default:
        break;
    }
    // The percentages of a time.
    if (base <= 0) {
        return failed(base < 0 ? PDH_CALC_NEGATIVE_DENOMINATOR : PDH_CSTATUS_INVALID_DATA);
    }
    if (def.kind == KIND_QUEUE_PERCENT && delta < 0) {
        return failed(PDH_CALC_NEGATIVE_VALUE);
    }
    double share = 100.0 * static_cast<double>(delta) / static_cast<double>(base);
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
        return PERF_COUNTER_LARGE_RAWCOUNT;
    case KIND_FRACTION:
        return PERF_RAW_FRACTION;
    case KIND_RATE:
        return PERF_COUNTER_BULK_COUNT;
    case KIND_PERCENT:
        return PERF_100NSEC_TIMER;
    case KIND_PERCENT_INVERSE:
        return PERF_100NSEC_TIMER_INV;
    case KIND_ELAPSED:
        return PERF_ELAPSED_TIME;
    case KIND_AVERAGE_TIMER:
        return PERF_AVERAGE_TIMER;
    case KIND_AVERAGE_BULK:
        return PERF_AVERAGE_BULK;
    case KIND_QUEUE:
        return PERF_COUNTER_100NS_QUEUELEN_TYPE;
    case KIND_QUEUE_PERCENT:
        return PERF_PRECISION_100NS_TIMER;
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
    RawPair raw = rawPairOf(def, latest);
    pair.first = raw.first;
    pair.second = raw.second;
    if (def.kind == KIND_ELAPSED) {
        // The start as Unix time: the collection's time less the same age.
        pair.second = unixNs / 100;
        pair.first = pair.second - (raw.second > raw.first ? raw.second - raw.first : 0);
    }
    return pair;
}

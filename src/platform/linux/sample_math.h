// Turning the raw samples of one counter into its formatted value, the way
// PDH computes each kind.
#ifndef MIREKAST_PLATFORM_LINUX_SAMPLE_MATH_H
#define MIREKAST_PLATFORM_LINUX_SAMPLE_MATH_H

#include "platform/linux/perf_objects.h"
#include "platform/pdh_api.h"

// What one collection found for one counter path.
struct CounterReading {
    bool present;  // the path's instance existed
    InstanceIdentity identity;
    RawValue raw;
    int64_t timeNs;
};

// PDH's time base for the raw values of this layer: 100 ns units.
const LONGLONG RAW_TIME_BASE = 10000000;

// A reading in the form PDH gives the raw sample of the counter's type
// (FirstValue, SecondValue), times in units of TIME_BASE per second:
//   value       the value                      -
//   fraction    numerator                      denominator
//   rate        the count                      collection time
//   percent     busy time                      elapsed time (the base)
//   elapsed     start time                     collection time
//   average     sum (a time, or bytes)         events
//   queue       time summed over requests      collection time
// The formatted value is PDH's formula for the type applied to two of these.
struct RawPair {
    int64_t first;
    int64_t second;
};
RawPair rawPairOf(const CounterDef& def, const CounterReading& reading);

// The value of a counter from its two latest readings, before formatting.
struct ComputedValue {
    DWORD status;      // PDH_CSTATUS_VALID_DATA, or why there is no value
    bool isInteger;    // value kinds keep their integer exactly
    int64_t integer;
    double real;
};

// `previous` is the reading of the collection before `latest` (present false
// when there was none).  Percentages are capped at 100 unless `noCap`.
ComputedValue computeCounterValue(const CounterDef& def, const CounterReading& previous,
                                  const CounterReading& latest, bool noCap);

// Formats for PDH_FMT_LONG: truncated toward zero, saturated to 32 bits.
LONG toLongValue(const ComputedValue& value);
// Formats for PDH_FMT_LARGE: truncated toward zero, saturated to 64 bits.
LONGLONG toLargeValue(const ComputedValue& value);
double toDoubleValue(const ComputedValue& value);

// The winperf counter type of a kind, as PdhGetCounterInfoA reports it.
DWORD counterTypeOf(CounterKind kind);

// A counter's latest raw sample in the form its type has on Windows
// (PdhGetRawCounterValue; see PDH_RAW_COUNTER in pdh_declarations.h), so that
// PDH's formula for the type, applied to two of them, gives the value that
// computeCounterValue gives: rawPairOf's pair, with an elapsed time's start
// and collection time given as Unix time.
struct RawCounterPair {
    DWORD status;       // PDH_CSTATUS_VALID_DATA, or why there is no sample
    LONGLONG first;
    LONGLONG second;
    LONGLONG wallTime;  // the collection's time as a FILETIME (100 ns since 1601)
};
// `unixNs` is the wall-clock time of the reading's collection.
RawCounterPair rawCounterPair(const CounterDef& def, const CounterReading& latest, int64_t unixNs);

#endif

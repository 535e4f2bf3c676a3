// What a counter becomes in the Prometheus form: its families, their kind,
// their names in base units and how each value follows from the counter's raw
// sample.  Decided by the counter's type (winperf.h) and its name: a table
// names the well-known counters, and a rule derives the name of any other, so
// that the same counter always gives the same family.
#ifndef MIREKAST_REPORT_PROMETHEUS_NAMES_H
#define MIREKAST_REPORT_PROMETHEUS_NAMES_H

#include <cstddef>

#include "platform/pdh_api.h"

const size_t FAMILY_NAME_SIZE = 256;

enum FamilyKind {
    KIND_GAUGE,
    KIND_COUNTER,
    KIND_INFO, // a gauge of 1 whose label holds the value (a process id)
};

// How a value follows from the raw sample (first, second: FirstValue and
// SecondValue; the time base: PdhGetCounterTimeBase, ticks a second).
enum ValueSource {
    FROM_FIRST,             // first × factor
    FROM_SECOND,            // second × factor
    FROM_SECOND_LESS_FIRST, // (second − first) × factor: the busy part of an inverse timer
    FROM_FRACTION,          // first / second × factor; none while second is 0
    FROM_START_TIME,        // the sample's time as Unix time − (second − first) / time base
};

struct SeriesForm {
    char family[FAMILY_NAME_SIZE];
    FamilyKind kind;
    ValueSource source;
    double factor;
    bool perTimeBase; // the factor is divided by the counter's time base
    const char* infoLabel; // KIND_INFO: the label that holds the value
};

// A counter's form: none (an unknown type, or a counter that labels the
// series instead: ID Process, ID Thread), one family, or two (an average
// becomes its numerator and its denominator).
struct CounterForm {
    int parts;
    bool knownType;
    SeriesForm series[2];
};

// The form of `counterName` of `objectName` for a counter of type `type`.
// Names are mirekast_<object>_<counter words>_<unit> in snake case, with no
// word twice: counters end in _total, times in seconds, sizes in bytes,
// fractions in _ratio.  Deterministic, and cut short only beyond
// FAMILY_NAME_SIZE.
CounterForm prometheusCounterForm(const char* objectName, const char* counterName, DWORD type);

// The label that a counter gives every series of its instance instead of
// samples of its own ("pid" for ID Process, "tid" for ID Thread), or null.
const char* identityLabel(const char* counterName);

#endif

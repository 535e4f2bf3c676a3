// What the CSV, JSON and Prometheus forms share: how a value and a time are
// written, how a name becomes valid UTF-8, and where an instance stands among
// the instances of its name.
#ifndef MIREKAST_REPORT_MACHINE_TEXT_H
#define MIREKAST_REPORT_MACHINE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/stamps.h"
#include "tree/node_list.h"

// Room for any text that formatNumber writes.
const size_t NUMBER_TEXT_SIZE = 40;

// The shortest decimal text that reads back as `value` ("3000000000",
// "0.25"), in exponent form only where the plain one would not fit.
void formatNumber(double value, char* text);

// The parts of a time, in the calendar.
struct CalendarTime {
    int year, month, day, hour, minute, second, millisecond;
};

// `utcMillis` as a calendar date and time, shifted by `offsetMinutes`.
CalendarTime calendarTime(int64_t utcMillis, int32_t offsetMinutes);

// Writes `text` to `out` with every byte sequence that is not valid UTF-8
// replaced by U+FFFD, one for each byte that begins no valid sequence.
// `escape`, when given, writes each valid character or byte that needs
// escaping in the form and answers false for those it leaves alone.
typedef bool (*EscapeWriter)(FILE* out, unsigned char byte);
void writeUtf8(FILE* out, const char* text, EscapeWriter escape);

// Whether the instance node of the data tree stands for a real instance, as
// the counter paths do: the pseudo-instance of an object without instances
// has none.
bool hasInstance(const Node* instance);

// The "#N" of the instance in its counter paths.  Instances of one name are
// registered in enumeration order, each inserted in front of those of its
// name, so N is the number of instances of its name that follow it.
uint32_t instanceIndex(const Node* instance);

#endif

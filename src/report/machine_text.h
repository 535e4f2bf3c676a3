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

// How a form writes a byte that it must escape.  A list of them ends with
// the entry whose text is null.
struct EscapeRule {
    unsigned char byte;
    const char* text;
};

// Writes `text` to `out` with every byte sequence that is not valid UTF-8
// replaced by U+FFFD, one for each byte that begins no valid sequence, and
// each byte that `rules` names as its rule says.  With `escapeControls`, the
// other bytes below 0x20 are written as \u00XX, as JSON needs; without, they
// and 0x7f are written as '?', as the text forms show them.
void writeUtf8(FILE* out, const char* text, const EscapeRule* rules, bool escapeControls);

// Whether the instance node of the data tree stands for a real instance, as
// the counter paths do: the pseudo-instance of an object without instances
// has none.  It is "UNNAMED" and alone in its object node; two instances of
// that name are real ones, which the forms must tell apart.
bool hasInstance(const Node* instance);

// Orders two names as the machine forms show them (writeUtf8): names that
// differ only in bytes that are not UTF-8, or only in control bytes, compare
// equal, as they would print alike.
int compareShown(const char* a, const char* b);

// Whether a name prints otherwise than its bytes: it holds a byte that is not
// UTF-8 or a control byte.  Two names of which neither prints lossily compare
// equal by compareShown only when their bytes are equal.
bool printsLossily(const char* name);

// The "#N" of each instance of an object's list, in list order, counted among
// the instances whose names print alike, so that no two instances of one
// object print with one name and index.  Instances of one name keep the
// numbers of their enumeration order; a name that prints like an earlier one
// (in byte order) takes the numbers after it.  One walk of the list where
// every name prints as its bytes, else one sort of it.  The
// caller releases the array (releaseMemory); ends the process when memory
// runs out.
uint32_t* numberInstancesAsShown(const NodeList* instances);

// The "#N" of each instance of an object, told in one walk of its instance
// list.  Instances of one name are registered in enumeration order, each
// inserted in front of those of its name, so N is the number of instances of
// its name that follow it.  Counting them again for every instance (or every
// counter) grew with the square of the instances of one name; the indexer
// counts a run of equal names once, at its first node.
struct InstanceIndexer {
    uint32_t remaining; // nodes of the current run not yet given their index
};

// A fresh indexer, for the first instance of an object's list.
InstanceIndexer startInstanceIndexer();

// The index of `instance`, which must be the node after the one the indexer
// was last given (or the list's first, for a fresh indexer).
uint32_t nextInstanceIndex(InstanceIndexer* indexer, const Node* instance);

#endif

#include "report/machine_text.h"

#include <charconv>
#include <algorithm>
#include <cstring>

#include "driver/memory.h"
#include "platform/utf8.h"
#include "report/shown_name.h"

void formatNumber(double value, char* text)
{
    char* end = text + NUMBER_TEXT_SIZE - 1;
    std::to_chars_result written = std::to_chars(text, end, value, std::chars_format::fixed);
    if (written.ec != std::errc()) {
        written = std::to_chars(text, end, value);
    }
    *written.ptr = '\0';
}

// Days since 1970-01-01 to a date, for any day of the proleptic Gregorian
// calendar (H. Hinnant's civil_from_days).
static void civilFromDays(int64_t days, int* year, int* month, int* day)
{
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    *month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

static int64_t floorDivide(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

CalendarTime calendarTime(int64_t utcMillis, int32_t offsetMinutes)
{
    const int64_t millisPerDay = 86400000;
    int64_t millis = utcMillis + static_cast<int64_t>(offsetMinutes) * 60000;
    int64_t days = floorDivide(millis, millisPerDay);
    int64_t ofDay = millis - days * millisPerDay;
    CalendarTime time = {};
    civilFromDays(days, &time.year, &time.month, &time.day);
    time.hour = static_cast<int>(ofDay / 3600000);
    time.minute = static_cast<int>(ofDay / 60000 % 60);
    time.second = static_cast<int>(ofDay / 1000 % 60);
    time.millisecond = static_cast<int>(ofDay % 1000);
    return time;
}

// The length of the valid UTF-8 sequence at `text`, a NUL-terminated text, or
// 0 when none starts there.
static size_t validSequence(const unsigned char* text)
{
    // A NUL ends every sequence: it is never a continuation byte.
    return utf8SequenceAt(text, SIZE_MAX);
}

static void writeAsciiByte(FILE* out, unsigned char byte, const EscapeRule* rules,
                           bool escapeControls)
{
    for (const EscapeRule* rule = rules; rule->text != nullptr; rule++) {
        if (rule->byte == byte) {
            fputs(rule->text, out);
            return;
        }
    }
    if (escapeControls && byte < 0x20) {
        fprintf(out, "\\u%04x", byte);
        return;
    }
    putc(!escapeControls && hiddenByte(byte) ? '?' : byte, out);
}

void writeUtf8(FILE* out, const char* text, const EscapeRule* rules, bool escapeControls)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    while (*at != '\0') {
        size_t length = validSequence(at);
        if (length == 0) {
            fputs("\xEF\xBF\xBD", out);
            length = 1;
        } else if (length == 1) {
            writeAsciiByte(out, *at, rules, escapeControls);
        } else {
            fwrite(at, 1, length, out);
        }
        at += length;
    }
}

bool hasInstance(const Node* instance)
{
    // The pseudo-instance is the only instance of its object node: where
    // there are more, an instance that the system named "UNNAMED" is one.
    return strcmp(instance->name, "UNNAMED") != 0 ||
           (instance->parentList != nullptr && instance->parentList->count > 1);
}

InstanceIndexer startInstanceIndexer()
{
    return InstanceIndexer{0};
}

uint32_t nextInstanceIndex(InstanceIndexer* indexer, const Node* instance)
{
    if (indexer->remaining == 0) {
        uint32_t run = 1;
        for (const Node* later = instance->next;
             later != nullptr && strcmp(later->name, instance->name) == 0; later = later->next) {
            run++;
        }
        indexer->remaining = run;
    }
    return --indexer->remaining;
}

// The next unit of `text` as the machine forms show it, at most three bytes:
// a byte that begins no valid sequence shows as U+FFFD, a control byte as '?'
// (the coarsest of the forms' renderings, so that names any form shows alike
// compare equal).  Answers the bytes of `text` it took.
static size_t nextShownUnit(const unsigned char* text, unsigned char* unit, size_t* unitLength)
{
    size_t length = validSequence(text);
    if (length == 0) {
        memcpy(unit, "\xEF\xBF\xBD", 3);
        *unitLength = 3;
        return 1;
    }
    if (length == 1 && hiddenByte(text[0])) {
        unit[0] = '?';
        *unitLength = 1;
        return 1;
    }
    memcpy(unit, text, length);
    *unitLength = length;
    return length;
}

bool printsLossily(const char* name)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(name);
    while (*at != '\0') {
        size_t length = validSequence(at);
        if (length == 0 || (length == 1 && hiddenByte(*at))) {
            return true;
        }
        at += length;
    }
    return false;
}

// A byte that is a whole unit and shows as itself.
static bool plainByte(unsigned char byte)
{
    return byte >= 0x20 && byte < 0x7f;
}

int compareShown(const char* a, const char* b)
{
    const unsigned char* left = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* right = reinterpret_cast<const unsigned char*>(b);
    // Most names are plain: compared byte by byte until either is not.
    while (*left == *right && plainByte(*left)) {
        left++;
        right++;
    }
    if ((*left == '\0' || plainByte(*left)) && (*right == '\0' || plainByte(*right))) {
        return *left == *right ? 0 : (*left < *right ? -1 : 1);
    }
    unsigned char leftUnit[4];
    unsigned char rightUnit[4];
    size_t leftLength = 0;
    size_t rightLength = 0;
    size_t leftAt = 0;
    size_t rightAt = 0;
    for (;;) {
        if (leftAt == leftLength) {
            if (*left == '\0') {
                break;
            }
            left += nextShownUnit(left, leftUnit, &leftLength);
            leftAt = 0;
        }
        if (rightAt == rightLength) {
            if (*right == '\0') {
                return 1;
            }
            right += nextShownUnit(right, rightUnit, &rightLength);
            rightAt = 0;
        }
        if (leftUnit[leftAt] != rightUnit[rightAt]) {
            return leftUnit[leftAt] < rightUnit[rightAt] ? -1 : 1;
        }
        leftAt++;
        rightAt++;
    }
    return (rightAt == rightLength && *right == '\0') ? 0 : -1;
}

namespace {

struct NumberedInstance {
    const Node* node;
    uint32_t position; // in the list
};

// Names shown alike together; within them, each name's instances together,
// the last in the list first (the first enumerated: an instance is inserted
// in front of those of its name).
bool numberedBefore(const NumberedInstance& a, const NumberedInstance& b)
{
    int order = compareShown(a.node->name, b.node->name);
    if (order != 0) {
        return order < 0;
    }
    order = strcmp(a.node->name, b.node->name);
    if (order != 0) {
        return order < 0;
    }
    return a.position > b.position;
}

} // namespace

uint32_t* numberInstancesAsShown(const NodeList* instances)
{
    size_t count = static_cast<size_t>(instances->count);
    uint32_t* indices = static_cast<uint32_t*>(allocateOrEnd((count + 1) * sizeof(uint32_t)));
    NumberedInstance* order =
        static_cast<NumberedInstance*>(allocateOrEnd((count + 1) * sizeof(NumberedInstance)));
    uint32_t position = 0;
    bool lossy = false;
    for (const Node* instance = instances->head; instance != nullptr; instance = instance->next) {
        order[position] = NumberedInstance{instance, position};
        position++;
        lossy = lossy || printsLossily(instance->name);
    }
    if (!lossy) {
        // Names that print as their bytes print alike only when equal: one
        // walk numbers each run of a name, as the list keeps them together.
        InstanceIndexer indexer = startInstanceIndexer();
        uint32_t at = 0;
        for (const Node* instance = instances->head; instance != nullptr;
             instance = instance->next) {
            indices[at++] = nextInstanceIndex(&indexer, instance);
        }
        releaseMemory(order);
        return indices;
    }
    std::sort(order, order + position, numberedBefore);
    uint32_t index = 0;
    for (uint32_t i = 0; i < position; i++) {
        bool sameShown = i > 0 && compareShown(order[i - 1].node->name, order[i].node->name) == 0;
        index = sameShown ? index + 1 : 0;
        indices[order[i].position] = index;
    }
    releaseMemory(order);
    return indices;
}

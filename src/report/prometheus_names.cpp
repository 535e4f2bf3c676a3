#include "report/prometheus_names.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const int MAX_WORDS = 32;
const size_t WORD_SIZE = 48;

struct Words {
    char text[MAX_WORDS][WORD_SIZE];
    int count;
};

bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void addWord(Words* words, const char* word)
{
    if (words->count < MAX_WORDS && word[0] != '\0') {
        snprintf(words->text[words->count++], WORD_SIZE, "%s", word);
    }
}

bool hasWord(const Words* words, const char* word)
{
    for (int i = 0; i < words->count; i++) {
        if (strcmp(words->text[i], word) == 0) {
            return true;
        }
    }
    return false;
}

void removeWord(Words* words, const char* word)
{
    int kept = 0;
    for (int i = 0; i < words->count; i++) {
        if (strcmp(words->text[i], word) != 0) {
            memmove(words->text[kept++], words->text[i], WORD_SIZE);
        }
    }
    words->count = kept;
}

// The snake-case words of `length` bytes of `text`: letters in lower case, a
// break where a lower-case letter or digit meets a capital ("PhysicalDisk":
// physical, disk) and at every run of other bytes ("Free & Zero").
void splitWords(const char* text, size_t length, Words* words)
{
    char word[WORD_SIZE];
    size_t used = 0;
    char previous = '\0';
    for (size_t i = 0; i <= length; i++) {
        char c = i < length ? text[i] : '\0';
        bool letter = isLower(c) || isUpper(c) || isDigit(c);
        bool breaks = !letter || (isUpper(c) && (isLower(previous) || isDigit(previous)));
        if (breaks && used > 0) {
            word[used] = '\0';
            addWord(words, word);
            used = 0;
        }
        if (letter && used + 1 < WORD_SIZE) {
            word[used++] = isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
        }
        previous = c;
    }
}

// Sizes counted in larger units become bytes; returns the factor.
double toBytes(Words* words)
{
    static const struct {
        const char* word;
        double factor;
    } SCALED[] = {{"kbytes", 1024.0}, {"kilobytes", 1024.0}, {"mbytes", 1048576.0},
                  {"megabytes", 1048576.0}};
    for (int i = 0; i < words->count; i++) {
        for (const auto& unit : SCALED) {
            if (strcmp(words->text[i], unit.word) == 0) {
                snprintf(words->text[i], WORD_SIZE, "bytes");
                return unit.factor;
            }
        }
    }
    return 1.0;
}

// "read" reads, "batch" batches; a word already in -s stays.
void pluralize(char* word)
{
    size_t length = strlen(word);
    if (length == 0 || word[length - 1] == 's' || length + 2 >= WORD_SIZE) {
        return;
    }
    bool sibilant = word[length - 1] == 'x' ||
                    (length > 1 && word[length - 1] == 'h' &&
                     (word[length - 2] == 'c' || word[length - 2] == 's'));
    strcat(word, sibilant ? "es" : "s");
}

// How the counter's raw values are read, by its type.
enum TypeClass {
    CLASS_UNKNOWN,
    CLASS_RAW,         // an instantaneous value
    CLASS_RATE,        // a count; PDH gives its change a second
    CLASS_TIME_100NS,  // busy time in 100 ns units; PDH gives its share of the elapsed time
    CLASS_TIME_100NS_INVERSE, // idle time in 100 ns units against a 100 ns clock
    CLASS_TIME_TICKS,  // busy time in ticks of the time base
    CLASS_TIME_TICKS_INVERSE,
    CLASS_QUEUE_100NS, // a queue's length summed over 100 ns units: its mean over the time
    CLASS_QUEUE_TICKS,
    CLASS_AVERAGE_TIMER, // ticks spent over operations done
    CLASS_AVERAGE_BULK,  // a count over operations done
    CLASS_FRACTION,      // first / second, one sample
    CLASS_ELAPSED,       // a start time against the object's clock
};

TypeClass classOf(DWORD type)
{
    switch (type) {
    case PERF_COUNTER_RAWCOUNT:
    case PERF_COUNTER_LARGE_RAWCOUNT:
    case PERF_COUNTER_RAWCOUNT_HEX:
    case PERF_COUNTER_LARGE_RAWCOUNT_HEX:
        return CLASS_RAW;
    case PERF_COUNTER_COUNTER:
    case PERF_COUNTER_BULK_COUNT:
        return CLASS_RATE;
    case PERF_100NSEC_TIMER:
    case PERF_PRECISION_100NS_TIMER:
        return CLASS_TIME_100NS;
    case PERF_100NSEC_TIMER_INV:
        return CLASS_TIME_100NS_INVERSE;
    case PERF_COUNTER_TIMER:
        return CLASS_TIME_TICKS;
    case PERF_COUNTER_TIMER_INV:
        return CLASS_TIME_TICKS_INVERSE;
    case PERF_COUNTER_100NS_QUEUELEN_TYPE:
        return CLASS_QUEUE_100NS;
    case PERF_COUNTER_QUEUELEN_TYPE:
    case PERF_COUNTER_LARGE_QUEUELEN_TYPE:
        return CLASS_QUEUE_TICKS;
    case PERF_AVERAGE_TIMER:
        return CLASS_AVERAGE_TIMER;
    case PERF_AVERAGE_BULK:
        return CLASS_AVERAGE_BULK;
    case PERF_RAW_FRACTION:
    case PERF_LARGE_RAW_FRACTION:
        return CLASS_FRACTION;
    case PERF_ELAPSED_TIME:
        return CLASS_ELAPSED;
    default:
        return CLASS_UNKNOWN;
    }
}

const int BY_TYPE = -1;

// The well-known counters whose derived name would read badly or whose type
// says less than they are: what follows mirekast_<object>_, for part 0 and
// part 1 (null: derived), a kind other than the type's, a factor other than 1.
// A null object matches every object.  Counters of one quantity share a
// family ("% Disk Read Time" and "Avg. Disk Read Queue Length" are both the
// time spent reading): the writer gives it once.
struct NamedCounter {
    const char* object;
    const char* counter;
    unsigned classes; // the type classes the entry is for; another type derives
    const char* name0;
    const char* name1;
    int kind;
    double factor;
};

const unsigned RAW = 1u << CLASS_RAW;
const unsigned TIMES = (1u << CLASS_TIME_100NS) | (1u << CLASS_TIME_100NS_INVERSE) |
                       (1u << CLASS_TIME_TICKS) | (1u << CLASS_TIME_TICKS_INVERSE) |
                       (1u << CLASS_QUEUE_100NS) | (1u << CLASS_QUEUE_TICKS);
const unsigned ELAPSED = 1u << CLASS_ELAPSED;
const unsigned AVERAGE_BULK = 1u << CLASS_AVERAGE_BULK;

const NamedCounter NAMED[] = {
    {"Processor", "% Processor Time", TIMES, "busy_seconds_total", nullptr, BY_TYPE, 1},
    {"Processor Information", "% Processor Time", TIMES, "busy_seconds_total", nullptr, BY_TYPE, 1},
    {"Processor Information", "Processor Frequency", RAW, "frequency_hertz", nullptr, BY_TYPE, 1e6},
    {"Processor Information", "% of Maximum Frequency", RAW, "maximum_frequency_ratio", nullptr,
     BY_TYPE, 1},
    {"Process", "% Processor Time", TIMES, "cpu_seconds_total", nullptr, BY_TYPE, 1},
    {"Process", "Working Set", RAW, "working_set_bytes", nullptr, BY_TYPE, 1},
    {"Process", "Working Set Peak", RAW, "working_set_peak_bytes", nullptr, BY_TYPE, 1},
    {"Process", "Working Set - Private", RAW, "working_set_private_bytes", nullptr, BY_TYPE, 1},
    {"Process", "Creating Process ID", RAW, "creator_info", nullptr, KIND_INFO, 1},
    {"Thread", "% Processor Time", TIMES, "cpu_seconds_total", nullptr, BY_TYPE, 1},
    {"Memory", "Commit Limit", RAW, "commit_limit_bytes", nullptr, BY_TYPE, 1},
    {"System", "System Up Time", ELAPSED, "boot_time_seconds", nullptr, BY_TYPE, 1},
    {nullptr, "Avg. Disk Bytes/Transfer", AVERAGE_BULK,
     "bytes_total", "transfers_total", BY_TYPE, 1},
    {nullptr, "Avg. Disk Read Queue Length", TIMES, "read_time_seconds_total", nullptr, BY_TYPE, 1},
    {nullptr, "Avg. Disk Write Queue Length", TIMES,
     "write_time_seconds_total", nullptr, BY_TYPE, 1},
    {nullptr, "Avg. Disk Queue Length", TIMES,
     "io_time_weighted_seconds_total", nullptr, BY_TYPE, 1},
    {nullptr, "% Disk Read Time", TIMES, "read_time_seconds_total", nullptr, BY_TYPE, 1},
    {nullptr, "% Disk Write Time", TIMES, "write_time_seconds_total", nullptr, BY_TYPE, 1},
    {nullptr, "% Disk Time", TIMES, "transfer_time_seconds_total", nullptr, BY_TYPE, 1},
    {"Network Interface", "Current Bandwidth", RAW, "speed_bytes", nullptr, BY_TYPE, 0.125},
    // Counts since boot that the system serves as plain values.
    {nullptr, "Packets Received Errors", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Packets Outbound Errors", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Packets Received Discarded", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Packets Outbound Discarded", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Packets Received Unknown", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Received Errors", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Received Header Errors", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Received Address Errors", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Received Unknown Protocol", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Received Discarded", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Outbound Discarded", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Datagrams Outbound No Route", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Fragment Re-assembly Failures", RAW, nullptr, nullptr, KIND_COUNTER, 1},
    {nullptr, "Fragmentation Failures", RAW, nullptr, nullptr, KIND_COUNTER, 1},
};

const NamedCounter* namedCounter(const char* objectName, const char* counterName,
                                 TypeClass typeClass)
{
    for (const NamedCounter& named : NAMED) {
        if (strcmp(named.counter, counterName) == 0 && (named.classes & (1u << typeClass)) != 0 &&
            (named.object == nullptr || strcmp(named.object, objectName) == 0)) {
            return &named;
        }
    }
    return nullptr;
}

// mirekast_<object>_ then `counter` words that neither the object nor the
// unit already says, each once, then `unit`.
void composeName(const Words& object, const Words& counter, const Words& unit, char* name)
{
    Words all = {};
    addWord(&all, "mirekast");
    for (int i = 0; i < object.count; i++) {
        addWord(&all, object.text[i]);
    }
    for (int i = 0; i < counter.count; i++) {
        const char* word = counter.text[i];
        if (!hasWord(&all, word) && !hasWord(&unit, word)) {
            addWord(&all, word);
        }
    }
    for (int i = 0; i < unit.count; i++) {
        addWord(&all, unit.text[i]);
    }
    size_t length = 0;
    name[0] = '\0';
    for (int i = 0; i < all.count; i++) {
        int written = snprintf(name + length, FAMILY_NAME_SIZE - length, "%s%s",
                               i == 0 ? "" : "_", all.text[i]);
        if (written < 0 || length + static_cast<size_t>(written) >= FAMILY_NAME_SIZE) {
            name[FAMILY_NAME_SIZE - 1] = '\0';
            return;
        }
        length += static_cast<size_t>(written);
    }
}

Words unitWords(const char* first, const char* second = nullptr, const char* third = nullptr)
{
    Words unit = {};
    for (const char* word : {first, second, third}) {
        if (word != nullptr) {
            addWord(&unit, word);
        }
    }
    return unit;
}

size_t lengthWithout(const char* text, const char* ending)
{
    size_t length = strlen(text);
    size_t endLength = strlen(ending);
    if (length >= endLength && strcmp(text + length - endLength, ending) == 0) {
        return length - endLength;
    }
    return length;
}

// The derived name of a one-family counter of class `typeClass`, with its
// factor to base units.
double deriveName(const Words& object, const char* counterName, TypeClass typeClass,
                  FamilyKind kind, char* name)
{
    const char* text = counterName;
    bool percent = text[0] == '%';
    if (percent) {
        text++;
    }
    size_t length = strlen(text);
    if (typeClass == CLASS_RATE) {
        length = lengthWithout(text, "/sec");
    }
    Words counter = {};
    splitWords(text, length, &counter);
    removeWord(&counter, "avg");
    double factor = toBytes(&counter);
    bool bytes = hasWord(&counter, "bytes");
    Words unit = {};
    switch (typeClass) {
    case CLASS_RATE:
        unit = bytes ? unitWords("bytes", "total") : unitWords("total");
        break;
    case CLASS_TIME_100NS:
    case CLASS_TIME_100NS_INVERSE:
    case CLASS_TIME_TICKS:
    case CLASS_TIME_TICKS_INVERSE:
    case CLASS_QUEUE_100NS:
    case CLASS_QUEUE_TICKS:
        removeWord(&counter, "time");
        unit = unitWords("seconds", "total");
        break;
    case CLASS_FRACTION:
        unit = unitWords("ratio");
        break;
    case CLASS_ELAPSED:
        removeWord(&counter, "elapsed");
        removeWord(&counter, "time");
        removeWord(&counter, "up");
        unit = unitWords("start", "time", "seconds");
        break;
    default: // an instantaneous value, or a count since boot
        if (percent) {
            unit = unitWords("ratio");
            factor = 0.01;
        } else if (bytes) {
            unit = unitWords("bytes");
        } else if (counter.count > 1 && strcmp(counter.text[counter.count - 1], "count") == 0) {
            // "Thread Count" is threads, as Prometheus names a number of things.
            counter.count--;
            pluralize(counter.text[counter.count - 1]);
        }
        if (kind == KIND_COUNTER) {
            addWord(&unit, "total");
        }
        break;
    }
    composeName(object, counter, unit, name);
    // Suffixes that Prometheus keeps for counters, histograms and summaries;
    // a gauge named so would read as one of those.
    if (kind == KIND_GAUGE) {
        for (const char* ending : {"_total", "_count", "_sum", "_bucket"}) {
            if (lengthWithout(name, ending) != strlen(name) &&
                strlen(name) + 6 < FAMILY_NAME_SIZE) {
                strcat(name, "_value");
                break;
            }
        }
    }
    return factor;
}

// An average "Avg. Disk sec/Read" becomes the time spent and the operations
// done: read_time_seconds_total and reads_total; "Avg. Disk Bytes/Read" the
// bytes and the operations: read_bytes_total and reads_total.
void deriveAverage(const Words& object, const char* counterName, bool timer, CounterForm* form)
{
    const char* slash = strrchr(counterName, '/');
    Words left = {};
    Words right = {};
    if (slash != nullptr) {
        splitWords(counterName, static_cast<size_t>(slash - counterName), &left);
        splitWords(slash + 1, strlen(slash + 1), &right);
    } else {
        splitWords(counterName, strlen(counterName), &right);
    }
    removeWord(&left, "avg");
    removeWord(&right, "avg");
    Words numerator = right;
    if (timer) {
        addWord(&numerator, "time");
        composeName(object, numerator, unitWords("seconds", "total"), form->series[0].family);
    } else {
        form->series[0].factor = toBytes(&left);
        if (hasWord(&left, "bytes")) {
            composeName(object, numerator, unitWords("bytes", "total"), form->series[0].family);
        } else {
            for (int i = 0; i < left.count; i++) {
                addWord(&numerator, left.text[i]);
            }
            composeName(object, numerator, unitWords("total"), form->series[0].family);
        }
    }
    Words denominator = right;
    if (slash != nullptr && denominator.count > 0) {
        pluralize(denominator.text[denominator.count - 1]);
    } else {
        addWord(&denominator, "operations");
    }
    composeName(object, denominator, unitWords("total"), form->series[1].family);
}

void setSource(SeriesForm* series, FamilyKind kind, ValueSource source, double factor,
               bool perTimeBase)
{
    series->kind = kind;
    series->source = source;
    series->factor = factor;
    series->perTimeBase = perTimeBase;
    series->infoLabel = nullptr;
}

} // namespace

const char* identityLabel(const char* counterName)
{
    if (strcmp(counterName, "ID Process") == 0) {
        return "pid";
    }
    if (strcmp(counterName, "ID Thread") == 0) {
        return "tid";
    }
    return nullptr;
}

CounterForm prometheusCounterForm(const char* objectName, const char* counterName, DWORD type)
{
    CounterForm form = {};
    TypeClass typeClass = classOf(type);
    form.knownType = typeClass != CLASS_UNKNOWN;
    if (!form.knownType || identityLabel(counterName) != nullptr) {
        return form;
    }
    Words object = {};
    splitWords(objectName, strlen(objectName), &object);
    const NamedCounter* named = namedCounter(objectName, counterName, typeClass);

    SeriesForm* first = &form.series[0];
    form.parts = 1;
    switch (typeClass) {
    case CLASS_RAW:
        setSource(first, KIND_GAUGE, FROM_FIRST, 1, false);
        break;
    case CLASS_RATE:
        setSource(first, KIND_COUNTER, FROM_FIRST, 1, false);
        break;
    case CLASS_TIME_100NS:
    case CLASS_QUEUE_100NS:
        setSource(first, KIND_COUNTER, FROM_FIRST, 1e-7, false);
        break;
    case CLASS_TIME_100NS_INVERSE:
        setSource(first, KIND_COUNTER, FROM_SECOND_LESS_FIRST, 1e-7, false);
        break;
    case CLASS_TIME_TICKS:
    case CLASS_QUEUE_TICKS:
        setSource(first, KIND_COUNTER, FROM_FIRST, 1, true);
        break;
    case CLASS_TIME_TICKS_INVERSE:
        setSource(first, KIND_COUNTER, FROM_SECOND_LESS_FIRST, 1, true);
        break;
    case CLASS_AVERAGE_TIMER:
    case CLASS_AVERAGE_BULK:
        form.parts = 2;
        setSource(first, KIND_COUNTER, FROM_FIRST, 1, typeClass == CLASS_AVERAGE_TIMER);
        setSource(&form.series[1], KIND_COUNTER, FROM_SECOND, 1, false);
        deriveAverage(object, counterName, typeClass == CLASS_AVERAGE_TIMER, &form);
        break;
    case CLASS_FRACTION:
        setSource(first, KIND_GAUGE, FROM_FRACTION, 1, false);
        break;
    case CLASS_ELAPSED:
        setSource(first, KIND_GAUGE, FROM_START_TIME, 1, true);
        break;
    case CLASS_UNKNOWN:
        break;
    }
    if (named != nullptr && named->kind != BY_TYPE) {
        first->kind = static_cast<FamilyKind>(named->kind);
    }
    if (form.parts == 1) {
        first->factor *= deriveName(object, counterName, typeClass, first->kind, first->family);
    }
    if (named != nullptr) {
        first->factor *= named->factor;
        const char* names[2] = {named->name0, named->name1};
        for (int part = 0; part < form.parts; part++) {
            if (names[part] != nullptr) {
                Words given = {};
                splitWords(names[part], strlen(names[part]), &given);
                composeName(object, given, Words{}, form.series[part].family);
            }
        }
        if (first->kind == KIND_INFO) {
            first->infoLabel = "creating_pid";
        }
    }
    return form;
}

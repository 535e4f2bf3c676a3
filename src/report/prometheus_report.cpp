#include "report/prometheus_report.h"

#include <cstdio>
#include <cstring>

#include "pdh/full_range.h"
#include "report/machine_text.h"

const size_t METRIC_NAME_SIZE = 512;

struct NameBuilder {
    char* text;
    size_t size;
    size_t length;
    bool wordEnded; // a separator is due before the next letter or digit
};

static void appendByte(NameBuilder* name, char byte)
{
    if (name->length + 1 < name->size) {
        name->text[name->length++] = byte;
        name->text[name->length] = '\0';
    }
}

static bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}

static bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Appends `length` bytes of `text` in snake case: letters in lower case, a
// word break where a lower-case letter or digit meets a capital
// ("PhysicalDisk": physical_disk) and for every run of other characters.
static void appendSnake(NameBuilder* name, const char* text, size_t length)
{
    char previous = '\0';
    for (size_t i = 0; i < length; i++) {
        char c = text[i];
        if (!isLower(c) && !isUpper(c) && !isDigit(c)) {
            name->wordEnded = true;
            previous = c;
            continue;
        }
        if (isUpper(c) && (isLower(previous) || isDigit(previous))) {
            name->wordEnded = true;
        }
        if (name->wordEnded && name->length > 0 && name->text[name->length - 1] != '_') {
            appendByte(name, '_');
        }
        name->wordEnded = false;
        appendByte(name, isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c);
        previous = c;
    }
    name->wordEnded = true;
}

static bool endsWith(const char* text, size_t length, const char* end)
{
    size_t endLength = strlen(end);
    return length >= endLength && memcmp(text + length - endLength, end, endLength) == 0;
}

struct UnitWord {
    const char* word;
    double factor;
};

// Sizes counted in larger units, told in bytes as Prometheus wants its base
// units: "Free Megabytes" is free_bytes, its values times 2^20.
static const UnitWord SCALED_UNITS[] = {
    {"Megabytes", 1048576.0},
    {"MBytes", 1048576.0},
    {"Kilobytes", 1024.0},
    {"KBytes", 1024.0},
};

// Suffixes that Prometheus keeps for the series of counters, histograms and
// summaries; a gauge named so would read as one of those.
static const char* const RESERVED_ENDINGS[] = {"_sum", "_bucket", "_total"};

double prometheusMetricName(const char* objectName, const char* counterName, char* name,
                            size_t size)
{
    NameBuilder builder = {name, size, 0, false};
    name[0] = '\0';
    appendSnake(&builder, "mirekast", 8);
    appendSnake(&builder, objectName, strlen(objectName));

    char counter[METRIC_NAME_SIZE];
    snprintf(counter, sizeof counter, "%s", counterName);
    double factor = 1.0;
    for (const UnitWord& unit : SCALED_UNITS) {
        char* found = strstr(counter, unit.word);
        if (found != nullptr) {
            memmove(found + 5, found + strlen(unit.word), strlen(found + strlen(unit.word)) + 1);
            memcpy(found, "Bytes", 5);
            factor = unit.factor;
            break;
        }
    }
    // The unit goes last, spelled as Prometheus spells it: "% X" is x_percent,
    // "X/sec" x_per_second, "... Time" (elapsed, up) in seconds.
    size_t length = strlen(counter);
    const char* unit = nullptr;
    if (strchr(counter, '%') != nullptr) {
        unit = "percent";
    } else if (endsWith(counter, length, "/sec")) {
        unit = "per_second";
        length -= 4;
    } else if (endsWith(counter, length, " Time")) {
        unit = "seconds";
    }
    appendSnake(&builder, counter, length);
    if (unit != nullptr) {
        appendSnake(&builder, unit, strlen(unit));
    }

    // "Thread Count" is threads, as Prometheus names a number of things.
    if (endsWith(name, builder.length, "_count")) {
        builder.length -= 6;
        name[builder.length] = '\0';
        if (!endsWith(name, builder.length, "s")) {
            appendByte(&builder, 's');
        }
    }
    for (const char* ending : RESERVED_ENDINGS) {
        if (endsWith(name, builder.length, ending)) {
            appendSnake(&builder, "value", 5);
        }
    }
    return factor;
}

static const EscapeRule LABEL_ESCAPES[] = {
    {'\\', "\\\\"}, {'"', "\\\""}, {'\n', "\\n"}, {0, nullptr},
};

static const EscapeRule HELP_ESCAPES[] = {
    {'\\', "\\\\"}, {'\n', "\\n"}, {0, nullptr},
};

// The "#N" of an instance: the instances of its name that follow it.
static uint32_t instanceIndex(const Node* instance)
{
    uint32_t index = 0;
    for (const Node* later = instance->next;
         later != nullptr && strcmp(later->name, instance->name) == 0; later = later->next) {
        index++;
    }
    return index;
}

// Whether an object node before `object` in the same run of its name already
// has a sample of `counterName` for an instance of that name and index: two
// sets on one object may name the same counter, and a series may appear once.
static bool sampledBefore(const Node* runStart, const Node* object, const Node* instance,
                          const char* counterName)
{
    uint32_t index = instanceIndex(instance);
    for (const Node* earlier = runStart; earlier != object; earlier = earlier->next) {
        for (const Node* other = earlier->childList->head; other != nullptr; other = other->next) {
            if (strcmp(other->name, instance->name) == 0 && instanceIndex(other) == index &&
                findByName(other->childList->head, counterName) != nullptr) {
                return true;
            }
        }
    }
    return false;
}

static void printSamples(const Node* runStart, const Node* runEnd, const char* metric,
                         const char* counterName, double factor)
{
    char number[NUMBER_TEXT_SIZE];
    for (const Node* object = runStart; object != runEnd; object = object->next) {
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            Node* counter = findByName(instance->childList->head, counterName);
            double value = 0.0;
            if (counter == nullptr ||
                (object != runStart && sampledBefore(runStart, object, instance, counterName)) ||
                !fetchFullValue(counter->counter, &value)) {
                continue;
            }
            formatNumber(value * factor, number);
            fputs(metric, stdout);
            if (hasInstance(instance)) {
                fputs("{name=\"", stdout);
                writeUtf8(stdout, instance->name, LABEL_ESCAPES, false);
                printf("\",index=\"%u\"}", instanceIndex(instance));
            }
            printf(" %s\n", number);
        }
    }
}

// The counter names of a run of object nodes of one name, each once.
static NodeList* counterNamesOf(const Node* runStart, const Node* runEnd)
{
    NodeList* names = createList("", nullptr);
    for (const Node* object = runStart; object != runEnd; object = object->next) {
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            for (const Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                if (findByName(names->head, counter->name) == nullptr) {
                    insertSorted(names, createNode(counter->name, 0, nullptr, nullptr, names),
                                 SORT_BY_NAME);
                }
            }
        }
    }
    return names;
}

void printPrometheusExposition(NodeList* dataTree)
{
    // Names already given a family: two counters whose names differ only in
    // what snake case drops, or in the unit of one size ("Available Bytes",
    // "Available KBytes"), would make one metric twice, which no reader
    // takes.  The first in name order keeps it.
    NodeList* metrics = createList("", nullptr);
    char metric[METRIC_NAME_SIZE];
    const Node* runStart = dataTree->head;
    while (runStart != nullptr) {
        const Node* runEnd = runStart->next;
        while (runEnd != nullptr && strcmp(runEnd->name, runStart->name) == 0) {
            runEnd = runEnd->next;
        }
        NodeList* counterNames = counterNamesOf(runStart, runEnd);
        for (const Node* counter = counterNames->head; counter != nullptr; counter = counter->next) {
            double factor =
                prometheusMetricName(runStart->name, counter->name, metric, sizeof metric);
            if (findByName(metrics->head, metric) != nullptr) {
                continue;
            }
            insertSorted(metrics, createNode(metric, 0, nullptr, nullptr, metrics), SORT_BY_NAME);
            printf("# HELP %s ", metric);
            writeUtf8(stdout, runStart->name, HELP_ESCAPES, false);
            fputs(" : ", stdout);
            writeUtf8(stdout, counter->name, HELP_ESCAPES, false);
            printf("\n# TYPE %s gauge\n", metric);
            printSamples(runStart, runEnd, metric, counter->name, factor);
        }
        destroyTree(counterNames);
        runStart = runEnd;
    }
    destroyTree(metrics);
}

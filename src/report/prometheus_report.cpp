#include "report/prometheus_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "driver/memory.h"
#include "pdh/sampling.h"
#include "report/machine_text.h"
#include "report/prometheus_names.h"

namespace {

// One distinct counter of a run of object nodes of one name: its form and
// what the form needs, asked of PDH once for all its instances.
struct CounterRecord {
    const char* name;
    bool resolved;
    bool infoFailed;
    DWORD type;
    LONGLONG timeBase; // 0 when PDH has none for the counter
    CounterForm form;
};

// Who a series belongs to: the instance's name and, where the object tells
// them, its process and thread ids; else its #N where that is not 0.
struct Identity {
    const char* name; // null: the object has no instances
    bool hasPid, hasTid, hasIndex;
    LONGLONG pid, tid;
    uint32_t index;
};

struct Sample {
    const char* family;
    const CounterRecord* record;
    const char* objectName;
    Identity identity;
    double value;
    LONGLONG info;   // KIND_INFO: the labelled value
    uint32_t order;  // registration order: of equal series the first is kept
};

struct Samples {
    Sample* items;
    size_t count;
    size_t capacity;
};

void addSample(Samples* samples, const Sample& sample)
{
    if (samples->count == samples->capacity) {
        size_t capacity = samples->capacity == 0 ? 1024 : samples->capacity * 2;
        Sample* grown = static_cast<Sample*>(allocateOrEnd(capacity * sizeof(Sample)));
        if (samples->count > 0) {
            memcpy(grown, samples->items, samples->count * sizeof(Sample));
        }
        releaseMemory(samples->items);
        samples->items = grown;
        samples->capacity = capacity;
    }
    samples->items[samples->count++] = sample;
}

bool fetchRaw(PDH_HCOUNTER counter, PDH_RAW_COUNTER* raw)
{
    DWORD type = 0;
    PDH_STATUS status = PdhGetRawCounterValue(counter, &type, raw);
    pdhDebug(status, "fetchRaw");
    return status == ERROR_SUCCESS && (raw->CStatus == PDH_CSTATUS_VALID_DATA ||
                                       raw->CStatus == PDH_CSTATUS_NEW_DATA);
}

// The counter's type, from PdhGetCounterInfoA: its fixed part first, the
// strings after it in a larger buffer when PDH asks for one.
bool counterType(PDH_HCOUNTER counter, DWORD* type)
{
    alignas(PDH_COUNTER_INFO_A) unsigned char fixed[1024];
    DWORD size = sizeof fixed;
    PDH_STATUS status = PdhGetCounterInfoA(counter, FALSE, &size,
                                           reinterpret_cast<PDH_COUNTER_INFO_A*>(fixed));
    if (pdhStatusIs(status, PDH_MORE_DATA) && size >= sizeof(PDH_COUNTER_INFO_A)) {
        PDH_COUNTER_INFO_A* info = static_cast<PDH_COUNTER_INFO_A*>(allocateOrEnd(size));
        status = PdhGetCounterInfoA(counter, FALSE, &size, info);
        pdhDebug(status, "counterType");
        *type = info->dwType;
        releaseMemory(info);
        return status == ERROR_SUCCESS;
    }
    pdhDebug(status, "counterType");
    *type = reinterpret_cast<PDH_COUNTER_INFO_A*>(fixed)->dwType;
    return status == ERROR_SUCCESS;
}

void resolve(CounterRecord* record, const char* objectName, PDH_HCOUNTER counter)
{
    record->resolved = true;
    if (!counterType(counter, &record->type)) {
        record->infoFailed = true;
        return;
    }
    record->form = prometheusCounterForm(objectName, record->name, record->type);
    LONGLONG timeBase = 0;
    PDH_STATUS status = PdhGetCounterTimeBase(counter, &timeBase);
    pdhDebug(status, "resolve");
    record->timeBase = status == ERROR_SUCCESS ? timeBase : 0;
}

// Seconds from 1601-01-01, where a FILETIME counts from, to 1970-01-01.
const double FILETIME_UNIX_OFFSET = 11644473600.0;

// x in the series' unit: a factor below 1 that is the inverse of a whole
// number (1e-7 from 100 ns units, 0.01 from a percentage) divides by that
// number, so that 2,000,000 hundred-nanosecond units read 0.2, not
// 0.19999999999999998.
double scaled(double x, const SeriesForm& series, LONGLONG timeBase)
{
    if (series.perTimeBase) {
        x /= static_cast<double>(timeBase);
    }
    double inverse = 1.0 / series.factor;
    double whole = std::round(inverse);
    if (series.factor < 1.0 && std::fabs(inverse - whole) < 1e-6 * whole) {
        return x / whole;
    }
    return x * series.factor;
}

bool seriesValue(const SeriesForm& series, const PDH_RAW_COUNTER& raw, LONGLONG timeBase,
                 double* value)
{
    if ((series.perTimeBase || series.source == FROM_START_TIME) && timeBase <= 0) {
        return false;
    }
    switch (series.source) {
    case FROM_FIRST:
        *value = scaled(static_cast<double>(raw.FirstValue), series, timeBase);
        break;
    case FROM_SECOND:
        *value = scaled(static_cast<double>(raw.SecondValue), series, timeBase);
        break;
    case FROM_SECOND_LESS_FIRST:
        *value = scaled(static_cast<double>(raw.SecondValue - raw.FirstValue), series, timeBase);
        break;
    case FROM_FRACTION:
        if (raw.SecondValue == 0) {
            return false;
        }
        *value = scaled(static_cast<double>(raw.FirstValue) / static_cast<double>(raw.SecondValue),
                        series, timeBase);
        break;
    case FROM_START_TIME: {
        // The collection's time less the thing's age, so that the start is
        // Unix time whatever epoch the object's own clock counts from.
        uint64_t stamp = (static_cast<uint64_t>(raw.TimeStamp.dwHighDateTime) << 32) |
                         raw.TimeStamp.dwLowDateTime;
        if (stamp == 0) {
            return false;
        }
        double now = static_cast<double>(stamp) / 1e7 - FILETIME_UNIX_OFFSET;
        *value = now - static_cast<double>(raw.SecondValue - raw.FirstValue) /
                           static_cast<double>(timeBase);
        break;
    }
    }
    return std::isfinite(*value);
}

int compareIdentity(const Identity& a, const Identity& b)
{
    if ((a.name == nullptr) != (b.name == nullptr)) {
        return a.name == nullptr ? -1 : 1;
    }
    if (a.name != nullptr) {
        // Names that print alike are one series' name.
        int order = compareShown(a.name, b.name);
        if (order != 0) {
            return order;
        }
    }
    if (a.hasPid != b.hasPid || a.pid != b.pid) {
        return a.hasPid != b.hasPid ? (a.hasPid ? 1 : -1) : (a.pid < b.pid ? -1 : 1);
    }
    if (a.hasTid != b.hasTid || a.tid != b.tid) {
        return a.hasTid != b.hasTid ? (a.hasTid ? 1 : -1) : (a.tid < b.tid ? -1 : 1);
    }
    if (a.hasIndex != b.hasIndex || a.index != b.index) {
        return a.hasIndex != b.hasIndex ? (a.hasIndex ? 1 : -1) : (a.index < b.index ? -1 : 1);
    }
    return 0;
}

bool sampleBefore(const Sample& a, const Sample& b)
{
    int order = strcmp(a.family, b.family);
    if (order != 0) {
        return order < 0;
    }
    order = compareIdentity(a.identity, b.identity);
    return order != 0 ? order < 0 : a.order < b.order;
}

bool namesBefore(const char* a, const char* b)
{
    return strcmp(a, b) < 0;
}

// A sum over the other instances: Prometheus users sum() themselves, and a
// row of the sum beside them would count everything twice.
bool isTotal(const char* instanceName)
{
    size_t length = strlen(instanceName);
    return strcmp(instanceName, "_Total") == 0 ||
           (length > 7 && strcmp(instanceName + length - 7, ",_Total") == 0);
}

// The ids an instance's identity counters give; false when one of them
// cannot be read: the instance cannot be told apart from another of its name.
// *found says whether the instance has an identity counter at all.
bool ownIdentity(const Node* instance, Identity* identity, bool* found)
{
    *found = false;
    for (const Node* counter = instance->childList->head; counter != nullptr;
         counter = counter->next) {
        const char* label = identityLabel(counter->name);
        if (label == nullptr) {
            continue;
        }
        *found = true;
        PDH_RAW_COUNTER raw = {};
        if (!fetchRaw(counter->counter, &raw)) {
            return false;
        }
        if (strcmp(label, "pid") == 0) {
            identity->hasPid = true;
            identity->pid = raw.FirstValue;
        } else {
            identity->hasTid = true;
            identity->tid = raw.FirstValue;
        }
    }
    return true;
}

// An instance's identity as an object node of its run told it, by name and
// index: two sets on one object may select ID Process in one of them only.
struct KnownIdentity {
    const char* name;
    uint32_t index;
    Identity identity;
};

bool knownBefore(const KnownIdentity& a, const KnownIdentity& b)
{
    int order = strcmp(a.name, b.name);
    return order != 0 ? order < 0 : a.index < b.index;
}

struct Run {
    const Node* start;
    const Node* end;
    CounterRecord* records;
    size_t recordCount;
    KnownIdentity* known; // sorted by name and index
    size_t knownCount;
};

// Every instance of the run whose own counters tell its ids, in one sort.
void collectIdentities(Run* run)
{
    size_t instances = 0;
    for (const Node* object = run->start; object != run->end; object = object->next) {
        instances += object->childList->count;
    }
    run->known =
        static_cast<KnownIdentity*>(allocateOrEnd((instances + 1) * sizeof(KnownIdentity)));
    run->knownCount = 0;
    for (const Node* object = run->start; object != run->end; object = object->next) {
        uint32_t* indices = numberInstancesAsShown(object->childList);
        uint32_t position = 0;
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            uint32_t index = indices[position++];
            Identity identity = {};
            bool found = false;
            if (hasInstance(instance) && ownIdentity(instance, &identity, &found) && found) {
                identity.name = instance->name;
                run->known[run->knownCount++] = KnownIdentity{instance->name, index, identity};
            }
        }
        releaseMemory(indices);
    }
    std::sort(run->known, run->known + run->knownCount, knownBefore);
}

// Who the instance is: its name, and its ids where its run tells them; else
// its #N where that is not 0.  False when it has identity counters and one
// of them fails: it cannot be told apart from another of its name.
bool identify(const Run& run, const Node* instance, uint32_t index, Identity* identity)
{
    *identity = Identity{};
    if (!hasInstance(instance)) {
        return true;
    }
    identity->name = instance->name;
    bool found = false;
    if (!ownIdentity(instance, identity, &found)) {
        return false;
    }
    if (!found) {
        KnownIdentity key = {instance->name, index, Identity{}};
        const KnownIdentity* at =
            std::lower_bound(run.known, run.known + run.knownCount, key, knownBefore);
        if (at != run.known + run.knownCount && !knownBefore(key, *at)) {
            *identity = at->identity;
            return true;
        }
    }
    if (!identity->hasPid && index > 0) {
        identity->hasIndex = true;
        identity->index = index;
    }
    return true;
}

// The distinct counter names of a run, each a record, sorted by name: one
// sort of every name the run's instances hold.
void collectRecords(Run* run)
{
    size_t names = 0;
    for (const Node* object = run->start; object != run->end; object = object->next) {
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            names += instance->childList->count;
        }
    }
    const char** all = static_cast<const char**>(allocateOrEnd((names + 1) * sizeof(char*)));
    size_t at = 0;
    for (const Node* object = run->start; object != run->end; object = object->next) {
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            for (const Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                all[at++] = counter->name;
            }
        }
    }
    std::sort(all, all + names, namesBefore);
    run->records = static_cast<CounterRecord*>(allocateOrEnd((names + 1) * sizeof(CounterRecord)));
    run->recordCount = 0;
    for (size_t i = 0; i < names; i++) {
        if (i == 0 || strcmp(all[i - 1], all[i]) != 0) {
            run->records[run->recordCount++].name = all[i];
        }
    }
    releaseMemory(all);
}

CounterRecord* findRecord(const Run& run, const char* name)
{
    size_t low = 0;
    size_t high = run.recordCount;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        int order = strcmp(run.records[middle].name, name);
        if (order == 0) {
            return &run.records[middle];
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return nullptr;
}

void addInstanceSamples(const Run& run, const Node* object, const Node* instance,
                        const Identity& identity, Samples* samples, uint32_t* order)
{
    for (const Node* counter = instance->childList->head; counter != nullptr;
         counter = counter->next) {
        CounterRecord* record = findRecord(run, counter->name);
        if (!record->resolved) {
            resolve(record, object->name, counter->counter);
        }
        if (record->infoFailed || record->form.parts == 0) {
            continue;
        }
        PDH_RAW_COUNTER raw = {};
        if (!fetchRaw(counter->counter, &raw)) {
            continue;
        }
        for (int part = 0; part < record->form.parts; part++) {
            const SeriesForm& series = record->form.series[part];
            Sample sample = {};
            sample.family = series.family;
            sample.record = record;
            sample.objectName = object->name;
            sample.identity = identity;
            sample.order = (*order)++;
            if (series.kind == KIND_INFO) {
                sample.value = 1;
                sample.info = raw.FirstValue;
            } else if (!seriesValue(series, raw, record->timeBase, &sample.value)) {
                continue;
            }
            addSample(samples, sample);
        }
    }
}

const EscapeRule LABEL_ESCAPES[] = {
    {'\\', "\\\\"}, {'"', "\\\""}, {'\n', "\\n"}, {0, nullptr},
};

const EscapeRule HELP_ESCAPES[] = {
    {'\\', "\\\\"}, {'\n', "\\n"}, {0, nullptr},
};

void printLabels(const Sample& sample, const SeriesForm& series)
{
    const Identity& identity = sample.identity;
    if (identity.name == nullptr && series.kind != KIND_INFO) {
        return;
    }
    const char* separator = "{";
    if (identity.name != nullptr) {
        fputs("{name=\"", stdout);
        writeUtf8(stdout, identity.name, LABEL_ESCAPES, false);
        putchar('"');
        separator = ",";
    }
    if (identity.hasPid) {
        printf("%spid=\"%lld\"", separator, static_cast<long long>(identity.pid));
        separator = ",";
    }
    if (identity.hasTid) {
        printf("%stid=\"%lld\"", separator, static_cast<long long>(identity.tid));
        separator = ",";
    }
    if (identity.hasIndex) {
        printf("%sindex=\"%u\"", separator, identity.index);
        separator = ",";
    }
    if (series.kind == KIND_INFO) {
        printf("%s%s=\"%lld\"", separator, series.infoLabel,
               static_cast<long long>(sample.info));
    }
    putchar('}');
}

const SeriesForm& seriesOf(const Sample& sample)
{
    const CounterForm& form = sample.record->form;
    return form.parts == 2 && sample.family == form.series[1].family ? form.series[1]
                                                                      : form.series[0];
}

const char* kindName(FamilyKind kind)
{
    return kind == KIND_COUNTER ? "counter" : "gauge";
}

void printSamples(Samples* samples)
{
    std::sort(samples->items, samples->items + samples->count, sampleBefore);
    char number[NUMBER_TEXT_SIZE];
    const Sample* previous = nullptr;
    for (size_t i = 0; i < samples->count; i++) {
        const Sample& sample = samples->items[i];
        bool newFamily = previous == nullptr || strcmp(previous->family, sample.family) != 0;
        // The same series again: sets that name one counter twice, or two
        // counters of one quantity ("Available Bytes", "Available KBytes").
        if (!newFamily && compareIdentity(previous->identity, sample.identity) == 0) {
            continue;
        }
        const SeriesForm& series = seriesOf(sample);
        if (newFamily) {
            printf("# HELP %s ", sample.family);
            writeUtf8(stdout, sample.objectName, HELP_ESCAPES, false);
            fputs(" : ", stdout);
            writeUtf8(stdout, sample.record->name, HELP_ESCAPES, false);
            printf("\n# TYPE %s %s\n", sample.family, kindName(series.kind));
        }
        fputs(sample.family, stdout);
        printLabels(sample, series);
        formatNumber(sample.value, number);
        printf(" %s\n", number);
        previous = &sample;
    }
}

// The counters this form cannot give, said in a comment rather than guessed.
void printUnknownTypes(const Run& run)
{
    for (size_t i = 0; i < run.recordCount; i++) {
        const CounterRecord& record = run.records[i];
        if (record.resolved && !record.infoFailed && !record.form.knownType) {
            fputs("# mirekast: not exported, counter type unknown to this program: ", stdout);
            writeUtf8(stdout, run.start->name, HELP_ESCAPES, false);
            fputs(" : ", stdout);
            writeUtf8(stdout, record.name, HELP_ESCAPES, false);
            printf(" (0x%08x)\n", static_cast<unsigned>(record.type));
        }
    }
}

} // namespace

void printPrometheusExposition(NodeList* dataTree)
{
    size_t runCount = 0;
    for (const Node* object = dataTree->head; object != nullptr; object = object->next) {
        if (object == dataTree->head || strcmp(object->name, object->prev->name) != 0) {
            runCount++;
        }
    }
    Run* runs = static_cast<Run*>(allocateOrEnd((runCount + 1) * sizeof(Run)));
    Samples samples = {};
    uint32_t order = 0;
    size_t runAt = 0;
    const Node* start = dataTree->head;
    while (start != nullptr) {
        const Node* end = start->next;
        while (end != nullptr && strcmp(end->name, start->name) == 0) {
            end = end->next;
        }
        Run& run = runs[runAt++];
        run = Run{start, end, nullptr, 0, nullptr, 0};
        collectRecords(&run);
        collectIdentities(&run);
        for (const Node* object = start; object != end; object = object->next) {
            uint32_t* indices = numberInstancesAsShown(object->childList);
            uint32_t position = 0;
            for (const Node* instance = object->childList->head; instance != nullptr;
                 instance = instance->next) {
                uint32_t index = indices[position++];
                Identity identity;
                if ((hasInstance(instance) && isTotal(instance->name)) ||
                    !identify(run, instance, index, &identity)) {
                    continue;
                }
                addInstanceSamples(run, object, instance, identity, &samples, &order);
            }
            releaseMemory(indices);
        }
        start = end;
    }
    for (size_t i = 0; i < runAt; i++) {
        printUnknownTypes(runs[i]);
    }
    printSamples(&samples);
    releaseMemory(samples.items);
    for (size_t i = 0; i < runAt; i++) {
        releaseMemory(runs[i].records);
        releaseMemory(runs[i].known);
    }
    releaseMemory(runs);
}

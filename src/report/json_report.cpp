#include "report/json_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/run_settings.h"
#include "driver/memory.h"
#include "pdh/enumeration.h"
#include "pdh/full_range.h"
#include "report/machine_text.h"

static const EscapeRule JSON_ESCAPES[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}, {0, nullptr},
};

static void writeString(const char* text)
{
    putchar('"');
    writeUtf8(stdout, text, JSON_ESCAPES, true);
    putchar('"');
}

static void writeSample(const Node* object, const Node* instance, uint32_t index,
                        const Node* counter)
{
    fputs("{\"object\":", stdout);
    writeString(object->name);
    fputs(",\"instance\":", stdout);
    if (hasInstance(instance)) {
        writeString(instance->name);
        printf(",\"index\":%u", index);
    } else {
        fputs("null,\"index\":null", stdout);
    }
    fputs(",\"counter\":", stdout);
    writeString(counter->name);
    double value = 0.0;
    if (fetchFullValue(counter->counter, &value)) {
        char number[NUMBER_TEXT_SIZE];
        formatNumber(value, number);
        printf(",\"value\":%s}", number);
    } else {
        fputs(",\"value\":null}", stdout);
    }
}

namespace {

// One sample of a pass in the order it prints, where it may repeat another.
struct SampleKey {
    uint32_t group;  // the object nodes whose names print alike
    const char* instance;
    uint32_t index;
    const char* counter;
    uint32_t sample;  // its place in the pass
};

bool keyBefore(const SampleKey& a, const SampleKey& b)
{
    if (a.group != b.group) {
        return a.group < b.group;
    }
    int order = compareShown(a.instance, b.instance);
    if (order != 0) {
        return order < 0;
    }
    if (a.index != b.index) {
        return a.index < b.index;
    }
    order = compareShown(a.counter, b.counter);
    return order != 0 ? order < 0 : a.sample < b.sample;
}

bool keysEqual(const SampleKey& a, const SampleKey& b)
{
    return a.group == b.group && a.index == b.index && compareShown(a.instance, b.instance) == 0 &&
           compareShown(a.counter, b.counter) == 0;
}

struct ObjectEntry {
    const Node* object;
    uint32_t* indices;  // each instance's #N, in list order
    uint32_t group;     // 0: its name prints unlike any other object node's
    uint32_t firstSample;
    uint32_t position;  // in the data tree
};

bool objectBefore(const ObjectEntry& a, const ObjectEntry& b)
{
    int order = compareShown(a.object->name, b.object->name);
    return order != 0 ? order < 0 : a.position < b.position;
}

bool holdsLossyName(const Node* object)
{
    for (const Node* instance = object->childList->head; instance != nullptr;
         instance = instance->next) {
        if (printsLossily(instance->name)) {
            return true;
        }
        for (const Node* counter = instance->childList->head; counter != nullptr;
             counter = counter->next) {
            if (printsLossily(counter->name)) {
                return true;
            }
        }
    }
    return false;
}

// Marks the samples that repeat one printed before them: two sets that name
// one object (or objects whose names print alike) may select one counter of
// one instance twice, names that are not UTF-8 may print alike, and a sample
// keyed twice in one line is no record.
// Null when nothing can repeat, as in every pass of -a.
bool* repeatedSamples(ObjectEntry* objects, size_t objectCount, uint32_t samples)
{
    ObjectEntry* byName =
        static_cast<ObjectEntry*>(allocateOrEnd((objectCount + 1) * sizeof(ObjectEntry)));
    std::copy(objects, objects + objectCount, byName);
    std::sort(byName, byName + objectCount, objectBefore);
    uint32_t groups = 0;
    for (size_t i = 1; i < objectCount; i++) {
        if (compareShown(byName[i - 1].object->name, byName[i].object->name) == 0) {
            if (i == 1 || compareShown(byName[i - 2].object->name, byName[i].object->name) != 0) {
                groups++;
            }
            uint32_t group = groups;
            byName[i - 1].group = group;
            byName[i].group = group;
        }
    }
    for (size_t i = 0; i < objectCount; i++) {
        objects[byName[i].position].group = byName[i].group;
    }
    releaseMemory(byName);
    // Within one object node, names of instances or counters print alike
    // only where one of them prints otherwise than its bytes.
    for (size_t i = 0; i < objectCount; i++) {
        if (objects[i].group == 0 && holdsLossyName(objects[i].object)) {
            objects[i].group = ++groups;
        }
    }
    if (groups == 0) {
        return nullptr;
    }
    size_t keyCount = 0;
    SampleKey* keys = static_cast<SampleKey*>(allocateOrEnd((samples + 1) * sizeof(SampleKey)));
    for (size_t i = 0; i < objectCount; i++) {
        if (objects[i].group == 0) {
            continue;
        }
        uint32_t sample = objects[i].firstSample;
        uint32_t position = 0;
        for (const Node* instance = objects[i].object->childList->head; instance != nullptr;
             instance = instance->next, position++) {
            for (const Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                keys[keyCount++] = SampleKey{objects[i].group, instance->name,
                                             objects[i].indices[position], counter->name, sample++};
            }
        }
    }
    std::sort(keys, keys + keyCount, keyBefore);
    bool* repeated = static_cast<bool*>(allocateOrEnd(samples + 1));
    for (size_t i = 1; i < keyCount; i++) {
        if (keysEqual(keys[i - 1], keys[i])) {
            repeated[keys[i].sample] = true;
        }
    }
    releaseMemory(keys);
    return repeated;
}

} // namespace

void printJsonPass(NodeList* dataTree, const WallTime& stamp)
{
    CalendarTime utc = calendarTime(stamp.utcMillis, 0);
    printf("{\"time\":\"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ\",\"host\":", utc.year, utc.month,
           utc.day, utc.hour, utc.minute, utc.second, utc.millisecond);
    writeString(machineName());
    fputs(",\"samples\":[", stdout);
    size_t objectCount = static_cast<size_t>(dataTree->count);
    ObjectEntry* objects =
        static_cast<ObjectEntry*>(allocateOrEnd((objectCount + 1) * sizeof(ObjectEntry)));
    uint32_t samples = 0;
    size_t at = 0;
    for (const Node* object = dataTree->head; object != nullptr; object = object->next, at++) {
        objects[at] = ObjectEntry{object, numberInstancesAsShown(object->childList), 0, samples,
                                  static_cast<uint32_t>(at)};
        for (const Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            samples += static_cast<uint32_t>(instance->childList->count);
        }
    }
    bool* repeated = repeatedSamples(objects, objectCount, samples);
    const char* separator = "";
    uint32_t sample = 0;
    for (size_t i = 0; i < objectCount; i++) {
        uint32_t position = 0;
        for (const Node* instance = objects[i].object->childList->head; instance != nullptr;
             instance = instance->next, position++) {
            for (const Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next, sample++) {
                if (repeated != nullptr && repeated[sample]) {
                    continue;
                }
                fputs(separator, stdout);
                separator = ",";
                writeSample(objects[i].object, instance, objects[i].indices[position], counter);
            }
        }
        releaseMemory(objects[i].indices);
    }
    releaseMemory(repeated);
    releaseMemory(objects);
    fputs("]}\n", stdout);
}

static void writeNameArray(const char* names)
{
    putchar('[');
    const char* separator = "";
    for (const char* name = firstName(names); name != nullptr; name = nextName(name)) {
        fputs(separator, stdout);
        separator = ",";
        writeString(name);
    }
    putchar(']');
}

void printJsonNameListing(const char* objectNames)
{
    char* counters = nullptr;
    char* instances = nullptr;
    fputs("{\"host\":", stdout);
    writeString(machineName());
    fputs(",\"objects\":[", stdout);
    const char* separator = "";
    for (const char* object = firstName(objectNames); object != nullptr;
         object = nextName(object)) {
        fputs(separator, stdout);
        separator = ",";
        fputs("{\"name\":", stdout);
        writeString(object);
        if ((runSettings.flags & FLAG_OBJECTS_ONLY) == 0) {
            DWORD counterSize = 0;
            DWORD instanceSize = 0;
            getObjectItemListing(object, &counters, &instances, &counterSize, &instanceSize);
            // An object without instances has none here, rather than the
            // pseudo-instance that the text listing shows.
            fputs(",\"instances\":", stdout);
            writeNameArray(instanceSize > 2 ? instances : nullptr);
            fputs(",\"counters\":", stdout);
            writeNameArray(counters);
            releaseMemory(counters);
            releaseMemory(instances);
        }
        putchar('}');
    }
    fputs("]}\n", stdout);
}

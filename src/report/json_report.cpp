#include "report/json_report.h"

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

void printJsonPass(NodeList* dataTree, const WallTime& stamp)
{
    CalendarTime utc = calendarTime(stamp.utcMillis, 0);
    printf("{\"time\":\"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ\",\"host\":", utc.year, utc.month,
           utc.day, utc.hour, utc.minute, utc.second, utc.millisecond);
    writeString(machineName());
    fputs(",\"samples\":[", stdout);
    const char* separator = "";
    for (Node* object = dataTree->head; object != nullptr; object = object->next) {
        InstanceIndexer indexer = startInstanceIndexer();
        for (Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            uint32_t index = nextInstanceIndex(&indexer, instance);
            for (Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                fputs(separator, stdout);
                separator = ",";
                writeSample(object, instance, index, counter);
            }
        }
    }
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

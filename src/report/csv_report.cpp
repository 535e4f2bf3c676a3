#include "report/csv_report.h"

#include <cstdio>

#include "pdh/full_range.h"
#include "report/machine_text.h"

// Writes the text inside a quoted field: a quote doubles; every other byte,
// comma, tab and line break included, stands as it is, except the other bytes
// below 0x20, which show as '?': no control reaches a terminal or a reader
// from a name.  Names keep their own bytes otherwise, as in the logs of the
// system's code page.
static void writeQuotedText(const char* text)
{
    for (const char* c = text; *c != '\0'; c++) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (*c == '"') {
            putchar('"');
        }
        bool shown = byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r';
        putchar(shown ? *c : '?');
    }
}

// The host name, quoted as above but with every control byte as '?', as in
// the names the system gives: a file of figures must not carry an escape
// sequence to the terminal of whoever reads it.
static void writeQuotedHostName(const char* name)
{
    for (const char* c = name; *c != '\0'; c++) {
        unsigned char byte = static_cast<unsigned char>(*c);
        char shown = byte < 0x20 || byte == 0x7f ? '?' : *c;
        if (shown == '"') {
            putchar('"');
        }
        putchar(shown);
    }
}

// "\\HOST\Object(Instance#N)\Counter", #N only where N > 0.
static void writeColumnPath(const Node* object, const Node* instance, uint32_t index,
                            const Node* counter)
{
    fputs(",\"\\\\", stdout);
    writeQuotedHostName(machineName());
    putchar('\\');
    writeQuotedText(object->name);
    if (hasInstance(instance)) {
        putchar('(');
        writeQuotedText(instance->name);
        if (index > 0) {
            printf("#%u", index);
        }
        putchar(')');
    }
    putchar('\\');
    writeQuotedText(counter->name);
    putchar('"');
}

static void writeHeader(NodeList* dataTree, const WallTime& stamp)
{
    fputs("\"(PDH-CSV 4.0) (", stdout);
    writeQuotedText(stamp.zoneName);
    printf(")(%d)\"", stamp.biasMinutes);
    for (Node* object = dataTree->head; object != nullptr; object = object->next) {
        InstanceIndexer indexer = startInstanceIndexer();
        for (Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            uint32_t index = nextInstanceIndex(&indexer, instance);
            for (Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                writeColumnPath(object, instance, index, counter);
            }
        }
    }
    putchar('\n');
}

void printCsvPass(NodeList* dataTree, const WallTime& stamp, uint32_t passNumber)
{
    if (passNumber == 1) {
        writeHeader(dataTree, stamp);
    }
    CalendarTime local = calendarTime(stamp.utcMillis, -stamp.biasMinutes);
    printf("\"%02d/%02d/%04d %02d:%02d:%02d.%03d\"", local.month, local.day, local.year,
           local.hour, local.minute, local.second, local.millisecond);
    char number[NUMBER_TEXT_SIZE];
    for (Node* object = dataTree->head; object != nullptr; object = object->next) {
        for (Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            for (Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                double value = 0.0;
                if (fetchFullValue(counter->counter, &value)) {
                    formatNumber(value, number);
                    printf(",\"%s\"", number);
                } else {
                    fputs(",\" \"", stdout);
                }
            }
        }
    }
    putchar('\n');
}

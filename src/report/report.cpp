#include "report/report.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "report/cell_table.h"
#include "report/shown_name.h"

// "%s : %s : %s = %d" and its kin print the value as a signed long, the
// tables as unsigned: a failed fetch is -1 in a list, ffffffff in a table.
static void printLists(NodeList* dataTree)
{
    bool longList = (runSettings.flags & FLAG_LONG_LIST) != 0;
    bool decimal = (runSettings.flags & FLAG_DECIMAL) != 0;
    for (Node* object = dataTree->head; object != nullptr; object = object->next) {
        if (longList) {
            fputs("Performance Object: ", stdout);
            writeShownName(stdout, object->name);
            putchar('\n');
        }
        for (Node* instance = object->childList->head; instance != nullptr;
             instance = instance->next) {
            if (longList) {
                fputs("  Performance Object Instance: ", stdout);
                writeShownName(stdout, instance->name);
                putchar('\n');
            }
            for (Node* counter = instance->childList->head; counter != nullptr;
                 counter = counter->next) {
                int32_t signedValue = static_cast<int32_t>(counter->data);
                if (longList) {
                    fputs("    Performance Object Instance Counter: ", stdout);
                } else {
                    writeShownName(stdout, object->name);
                    fputs(" : ", stdout);
                    writeShownName(stdout, instance->name);
                    fputs(" : ", stdout);
                }
                writeShownName(stdout, counter->name);
                if (decimal) {
                    printf(" = %d\n", signedValue);
                } else {
                    printf(" = 0x%08x\n", counter->data);
                }
            }
        }
    }
}

struct ValueText {
    char text[12];
    size_t length;
};

// The table form of a value: "%u" with FLAG_DECIMAL, else "%08x".  Written by
// hand because a table of every counter formats thousands of them.
static ValueText valueText(uint32_t value)
{
    ValueText result;
    if ((runSettings.flags & FLAG_DECIMAL) != 0) {
        char* end = std::to_chars(result.text, result.text + sizeof result.text - 1, value).ptr;
        *end = '\0';
        result.length = static_cast<size_t>(end - result.text);
        return result;
    }
    static const char HEX_DIGITS[] = "0123456789abcdef";
    for (int i = 7; i >= 0; i--) {
        result.text[i] = HEX_DIGITS[value & 0xFu];
        value >>= 4;
    }
    result.text[8] = '\0';
    result.length = 8;
    return result;
}

static void appendText(CellTable* table, const char* text)
{
    appendCell(table, text);
}

// A row's counters and where the walk along them stands.  Columns and an
// instance's counters are both in name order, so the next counter is nearly
// always the next column's: a name scan per value showed in -a's profile.
struct RowCounters {
    NodeList* counters;
    Node* cursor; // every counter before it matched an earlier column
};

static void appendValue(CellTable* table, RowCounters* row, const char* counterName)
{
    Node* counter = nullptr;
    if (row->cursor != nullptr && strcmp(row->cursor->name, counterName) == 0) {
        // The counters before the cursor matched other columns, so this is
        // the first counter of that name, the one findByName would return.
        counter = row->cursor;
        row->cursor = counter->next;
    } else {
        counter = findByName(row->counters->head, counterName);
    }
    if (counter == nullptr) {
        appendText(table, " ");
        return;
    }
    ValueText value = valueText(counter->data);
    appendCellOfLength(table, value.text, value.length);
}

// One table: the chunk's `placed` column names starting at `firstColumn`,
// printed from `table`, which is left empty for the next chunk.
static void printChunk(CellTable* table, Node* object, Node* firstColumn, int32_t placed,
                       int32_t chunk, int32_t maxColumns, RowCounters* rows, uint32_t instances)
{
    int32_t cellWidth = tableCellWidth(table);
    int32_t slots = maxColumns - 1;

    appendText(table, " ");
    Node* column = firstColumn;
    for (int32_t i = 0; i < placed; i++, column = column->next) {
        appendText(table, column->name);
    }
    for (int32_t i = placed; chunk > 0 && i < slots; i++) {
        appendText(table, "");
    }
    appendRuleRow(cellWidth, slots, table, placed, chunk);

    Node* instance = object->childList->head;
    for (uint32_t row = 0; row < instances; row++, instance = instance->next) {
        appendText(table, instance->name);
        column = firstColumn;
        for (int32_t i = 0; i < placed; i++, column = column->next) {
            appendValue(table, &rows[row], column->name);
        }
        for (int32_t i = placed; chunk > 0 && i < slots; i++) {
            appendText(table, "");
        }
        appendRuleRow(cellWidth, slots, table, placed, chunk);
        printSettledRows(table);
    }
    printCellTable(table);
    emptyCellTable(table);
}

// An object's tables: its columns maxColumns - 1 at a time, one table each.
static void printObjectTables(Node* object, Node* header, int32_t maxColumns)
{
    uint32_t instances = object->childList->count;
    int32_t names = static_cast<int32_t>(header->childList->count);
    if (instances == 0 || names == 0) {
        return;
    }
    RowCounters* rows = static_cast<RowCounters*>(allocateMemory(sizeof(RowCounters) * instances));
    if (rows == nullptr) {
        outOfMemory();
    }
    Node* instance = object->childList->head;
    for (uint32_t row = 0; row < instances; row++, instance = instance->next) {
        rows[row].counters = instance->childList;
        rows[row].cursor = instance->childList->head;
    }

    int32_t perTable = maxColumns - 1;
    int32_t chunks = (names + perTable - 1) / perTable;
    int32_t columns = names < perTable ? names + 1 : maxColumns;
    // Every table of the object has its title and width of row.
    CellTable* table = createCellTable(object->name, columns);
    Node* firstColumn = header->childList->head;
    for (int32_t chunk = 0; chunk < chunks; chunk++) {
        int32_t placed = names - chunk * perTable < perTable ? names - chunk * perTable : perTable;
        printChunk(table, object, firstColumn, placed, chunk, maxColumns, rows, instances);
        for (int32_t i = 0; i < placed; i++) {
            firstColumn = firstColumn->next;
        }
    }
    freeCellTable(table);
    releaseMemory(rows);
}

void printReport(NodeList* dataTree, NodeList* headerTree)
{
    if ((runSettings.flags & FLAG_LIST) != 0) {
        printLists(dataTree);
        return;
    }
    int32_t maxColumns = (runSettings.screenWidth - 2) / (runSettings.columnWidth + 1);
    Node* header = headerTree->head;
    for (Node* object = dataTree->head; object != nullptr; object = object->next) {
        printObjectTables(object, header, maxColumns);
        fputs("\n\n", stdout);
        header = header->next;
    }
}

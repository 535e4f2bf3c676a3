#include "report/cell_table.h"

#include <cstdio>
#include <cstring>

#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"

CellTable* createCellTable(const char* title, int32_t columns)
{
    CellTable* table = static_cast<CellTable*>(allocateMemory(sizeof(CellTable)));
    if (table == nullptr) {
        outOfMemory();
    }
    table->title = copyText(title);
    table->columns = columns;
    table->firstCell = nullptr;
    table->lastCell = nullptr;
    return table;
}

Cell* createCell(const char* text)
{
    // One block for the cell and its text: a table of many instances holds
    // a dozen cells per row, and two allocations each showed in -a's profile.
    size_t length = strlen(text);
    Cell* cell = static_cast<Cell*>(allocateMemory(sizeof(Cell) + length + 1));
    if (cell == nullptr) {
        outOfMemory();
    }
    cell->text = reinterpret_cast<char*>(cell + 1);
    memcpy(cell->text, text, length);
    cell->prev = nullptr;
    cell->next = nullptr;
    return cell;
}

void appendCell(CellTable* table, Cell* cell)
{
    cell->prev = table->lastCell;
    cell->next = nullptr;
    if (table->lastCell == nullptr) {
        table->firstCell = cell;
    } else {
        table->lastCell->next = cell;
    }
    table->lastCell = cell;
}

void appendRuleRow(int32_t width, int32_t slots, CellTable* table, int32_t filled,
                   int32_t fillEmpty)
{
    char* rule = static_cast<char*>(allocateMemory(static_cast<size_t>(width) + 1));
    if (rule == nullptr) {
        outOfMemory();
    }
    memset(rule, '-', static_cast<size_t>(width));
    appendCell(table, createCell(rule));
    for (int32_t appended = 0; appended < slots; appended++) {
        if (appended < filled) {
            appendCell(table, createCell(rule));
        } else if (fillEmpty > 0) {
            appendCell(table, createCell(""));
        } else {
            break;
        }
    }
    releaseMemory(rule);
}

int32_t tableCellWidth(const CellTable* table)
{
    int32_t width = (runSettings.screenWidth - 2) / table->columns - 1;
    return width < runSettings.columnWidth ? runSettings.columnWidth : width;
}

static char* allocateLine(size_t length)
{
    char* line = static_cast<char*>(allocateMemory(length + 1));
    if (line == nullptr) {
        outOfMemory();
    }
    return line;
}

// The title centred in underscores on a line of screenWidth - 1 characters;
// a title that long or longer is printed whole on a line of its own length.
static void printTitle(const char* title)
{
    size_t length = strlen(title);
    size_t screen = static_cast<size_t>(runSettings.screenWidth);
    if (length >= screen) {
        fputs(title, stdout);
        fputc('\n', stdout);
        return;
    }
    char* line = allocateLine(screen);
    size_t before = (screen - length) / 2;
    memset(line, '_', screen - 1);
    memcpy(line + before, title, length);
    line[screen - 1] = '\n';
    fwrite(line, 1, screen, stdout);
    releaseMemory(line);
}

// The border after a cell's segment, decided from the line so far and from the
// cell that follows in the table.  A cell missing from a short last row counts
// as empty and ends the table.
static char borderAfter(const Cell* cell, const char* lineEnd)
{
    bool endsWithRule = lineEnd[-1] == '-';
    if (cell != nullptr && cell->next != nullptr) {
        if (endsWithRule && cell->next->text[0] == '-') {
            return '+';
        }
        return cell->text[0] == '\0' ? ' ' : '|';
    }
    return endsWithRule ? '|' : ' ';
}

static size_t linesOfRow(const Cell* rowStart, int32_t columns, size_t cellWidth)
{
    size_t lines = 1;
    const Cell* cell = rowStart;
    for (int32_t i = 0; i < columns && cell != nullptr; i++, cell = cell->next) {
        size_t needed = (strlen(cell->text) + cellWidth - 1) / cellWidth;
        if (needed > lines) {
            lines = needed;
        }
    }
    return lines;
}

void printCellTable(const CellTable* table)
{
    size_t cellWidth = static_cast<size_t>(tableCellWidth(table));
    size_t columns = static_cast<size_t>(table->columns);
    printTitle(table->title);

    char* line = allocateLine(1 + columns * (cellWidth + 1) + 1);
    const Cell* rowStart = table->firstCell;
    while (rowStart != nullptr) {
        size_t lineCount = linesOfRow(rowStart, table->columns, cellWidth);
        const Cell* nextRow = rowStart;
        for (size_t k = 0; k < lineCount; k++) {
            char* end = line;
            *end++ = '|';
            const Cell* cell = rowStart;
            for (size_t i = 0; i < columns; i++) {
                size_t consumed = k * cellWidth;
                size_t length = cell != nullptr ? strlen(cell->text) : 0;
                size_t piece = 0;
                if (length > consumed) {
                    piece = length - consumed < cellWidth ? length - consumed : cellWidth;
                    memcpy(end, cell->text + consumed, piece);
                }
                memset(end + piece, ' ', cellWidth - piece);
                end += cellWidth;
                *end = borderAfter(cell, end);
                end++;
                if (cell != nullptr) {
                    cell = cell->next;
                }
            }
            *end++ = '\n';
            fwrite(line, 1, static_cast<size_t>(end - line), stdout);
            nextRow = cell;
        }
        rowStart = nextRow;
    }
    releaseMemory(line);
    fputs("\n\n", stdout);
}

void freeCellTable(CellTable* table)
{
    Cell* cell = table->firstCell;
    while (cell != nullptr) {
        Cell* next = cell->next;
        releaseMemory(cell); // its text too: one block
        cell = next;
    }
    releaseMemory(table->title);
    releaseMemory(table);
}

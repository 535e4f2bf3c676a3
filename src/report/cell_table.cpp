#include "report/cell_table.h"

#include <cstdio>
#include <cstring>

#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "report/shown_name.h"

CellTable* createCellTable(const char* title, int32_t columns)
{
    CellTable* table = static_cast<CellTable*>(allocateMemory(sizeof(CellTable)));
    if (table == nullptr) {
        outOfMemory();
    }
    table->title = copyText(title);
    showControlBytes(table->title, strlen(table->title));
    table->columns = columns;
    table->firstCell = nullptr;
    table->lastCell = nullptr;
    table->blocks = nullptr;
    table->currentBlock = nullptr;
    table->cellCount = 0;
    table->titlePrinted = false;
    return table;
}

// Room for some hundreds of cells; a longer text gets a block of its own.
static const size_t CELL_BLOCK_SIZE = 64 * 1024 - sizeof(CellBlock);

// The next block with room for `size` bytes: the current one, the one after
// it (kept by emptyCellTable), or a new one linked in after the current one.
static CellBlock* blockWithRoom(CellTable* table, size_t size)
{
    CellBlock* current = table->currentBlock;
    if (current != nullptr && current->size - current->used >= size) {
        return current;
    }
    CellBlock* next = current != nullptr ? current->next : table->blocks;
    if (next != nullptr && next->size >= size) {
        table->currentBlock = next;
        return next;
    }
    size_t blockSize = size > CELL_BLOCK_SIZE ? size : CELL_BLOCK_SIZE;
    CellBlock* block = static_cast<CellBlock*>(allocateMemory(sizeof(CellBlock) + blockSize));
    if (block == nullptr) {
        outOfMemory();
    }
    block->size = blockSize;
    block->used = 0;
    block->next = next;
    if (current != nullptr) {
        current->next = block;
    } else {
        table->blocks = block;
    }
    table->currentBlock = block;
    return block;
}

static void* carveCell(CellTable* table, size_t size)
{
    size = (size + alignof(Cell) - 1) / alignof(Cell) * alignof(Cell);
    CellBlock* block = blockWithRoom(table, size);
    void* place = reinterpret_cast<char*>(block + 1) + block->used;
    block->used += size;
    return place;
}

static Cell* linkCell(CellTable* table, const char* text, size_t length)
{
    table->cellCount++;
    Cell* cell = static_cast<Cell*>(carveCell(table, sizeof(Cell) + length + 1));
    cell->text = reinterpret_cast<char*>(cell + 1);
    memcpy(cell->text, text, length);
    cell->text[length] = '\0';
    showControlBytes(cell->text, length);
    cell->length = length;
    cell->ruleLength = 0;
    cell->next = nullptr;
    if (table->lastCell == nullptr) {
        table->firstCell = cell;
    } else {
        table->lastCell->next = cell;
    }
    table->lastCell = cell;
    return cell;
}

void appendCell(CellTable* table, const char* text)
{
    linkCell(table, text, strlen(text));
}

void appendCellOfLength(CellTable* table, const char* text, size_t length)
{
    linkCell(table, text, length);
}

// A rule cell holds "-" and its length; the run of '-' is drawn when printed.
static void appendRuleCell(CellTable* table, int32_t width)
{
    linkCell(table, "-", 1)->ruleLength = width;
}

void appendRuleRow(int32_t width, int32_t slots, CellTable* table, int32_t filled,
                   int32_t fillEmpty)
{
    appendRuleCell(table, width);
    for (int32_t appended = 0; appended < slots; appended++) {
        if (appended < filled) {
            appendRuleCell(table, width);
        } else if (fillEmpty > 0) {
            linkCell(table, "", 0);
        } else {
            break;
        }
    }
}

int32_t tableCellWidth(const CellTable* table)
{
    int32_t width = (runSettings.screenWidth - 2) / table->columns - 1;
    return width < runSettings.columnWidth ? runSettings.columnWidth : width;
}

static size_t textLength(const Cell* cell)
{
    return cell->ruleLength > 0 ? static_cast<size_t>(cell->ruleLength) : cell->length;
}

// A line goes out through a small block, whatever its length; the last
// character written is kept for the border rule.
struct LineWriter {
    char block[4096];
    size_t used;
    char last;
};

static void flushBlock(LineWriter& writer)
{
    fwrite(writer.block, 1, writer.used, stdout);
    writer.used = 0;
}

// Appends `count` bytes: those of `text`, or `count` times `fill` when
// `text` is null.
static void put(LineWriter& writer, const char* text, char fill, size_t count)
{
    while (count > 0) {
        if (writer.used == sizeof writer.block) {
            flushBlock(writer);
        }
        size_t room = sizeof writer.block - writer.used;
        size_t piece = count < room ? count : room;
        if (text != nullptr) {
            memcpy(writer.block + writer.used, text, piece);
            text += piece;
        } else {
            memset(writer.block + writer.used, fill, piece);
        }
        writer.used += piece;
        writer.last = writer.block[writer.used - 1];
        count -= piece;
    }
}

static void putText(LineWriter& writer, const char* text, size_t length)
{
    put(writer, text, '\0', length);
}

static void putRun(LineWriter& writer, char c, size_t count)
{
    put(writer, nullptr, c, count);
}

static void putChar(LineWriter& writer, char c)
{
    if (writer.used == sizeof writer.block) {
        flushBlock(writer);
    }
    writer.block[writer.used++] = c;
    writer.last = c;
}

// The title centred in underscores on a line of screenWidth - 1 characters;
// a title that long or longer is printed whole on a line of its own length.
static void printTitle(LineWriter& writer, const char* title)
{
    size_t length = strlen(title);
    size_t screen = static_cast<size_t>(runSettings.screenWidth);
    if (length >= screen) {
        putText(writer, title, length);
    } else {
        size_t before = (screen - length) / 2;
        putRun(writer, '_', before);
        putText(writer, title, length);
        putRun(writer, '_', screen - 1 - before - length);
    }
    putRun(writer, '\n', 1);
}

// The border after a cell's segment, decided from the line so far (its last
// character) and from the cell that follows in the table.  A cell missing from
// a short last row counts as empty and ends the table.
static char borderAfter(const Cell* cell, char lineEnd)
{
    bool endsWithRule = lineEnd == '-';
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
        // Nearly every cell fits its width: no division for those.
        size_t length = textLength(cell);
        size_t needed = length <= cellWidth ? 1 : (length + cellWidth - 1) / cellWidth;
        if (needed > lines) {
            lines = needed;
        }
    }
    return lines;
}

// Line k (from 0) of a cell: its text from k cell widths on, at most one cell
// width of it, then blanks to the cell width.
static void putSegment(LineWriter& writer, const Cell* cell, size_t k, size_t cellWidth)
{
    size_t consumed = k * cellWidth;
    size_t length = cell != nullptr ? textLength(cell) : 0;
    size_t piece = 0;
    if (length > consumed) {
        piece = length - consumed < cellWidth ? length - consumed : cellWidth;
    }
    // Most segments fit the block as it is: written in place, without the
    // piecewise copying of put, which showed in -a's profile.
    if (cellWidth > 0 && cellWidth <= sizeof writer.block - writer.used) {
        char* place = writer.block + writer.used;
        if (piece > 0 && cell->ruleLength > 0) {
            memset(place, '-', piece);
        } else if (piece > 0) {
            memcpy(place, cell->text + consumed, piece);
        }
        memset(place + piece, ' ', cellWidth - piece);
        writer.used += cellWidth;
        writer.last = place[cellWidth - 1];
        return;
    }
    if (piece > 0) {
        if (cell->ruleLength > 0) {
            putRun(writer, '-', piece);
        } else {
            putText(writer, cell->text + consumed, piece);
        }
    }
    putRun(writer, ' ', cellWidth - piece);
}

// Writes `rowCount` rows from `rowStart` on, or every row to the end of the
// table when `rowCount` is 0; returns the first cell after them.
static const Cell* printRows(LineWriter& writer, const Cell* rowStart, size_t rowCount,
                             size_t columns, size_t cellWidth)
{
    for (size_t row = 0; rowStart != nullptr && (rowCount == 0 || row < rowCount); row++) {
        size_t lineCount = linesOfRow(rowStart, static_cast<int32_t>(columns), cellWidth);
        const Cell* nextRow = rowStart;
        for (size_t k = 0; k < lineCount; k++) {
            putChar(writer, '|');
            const Cell* cell = rowStart;
            for (size_t i = 0; i < columns; i++) {
                putSegment(writer, cell, k, cellWidth);
                putChar(writer, borderAfter(cell, writer.last));
                if (cell != nullptr) {
                    cell = cell->next;
                }
            }
            putChar(writer, '\n');
            nextRow = cell;
        }
        rowStart = nextRow;
    }
    return rowStart;
}

void printCellTable(const CellTable* table)
{
    size_t cellWidth = static_cast<size_t>(tableCellWidth(table));
    size_t columns = static_cast<size_t>(table->columns);
    LineWriter writer;
    writer.used = 0;
    writer.last = '\0';
    if (!table->titlePrinted) {
        printTitle(writer, table->title);
    }
    printRows(writer, table->firstCell, 0, columns, cellWidth);
    putText(writer, "\n\n", 2);
    flushBlock(writer);
}

void printSettledRows(CellTable* table)
{
    size_t columns = static_cast<size_t>(table->columns);
    if (table->blocks == nullptr || table->currentBlock == table->blocks ||
        table->cellCount <= columns) {
        return;
    }
    size_t cellWidth = static_cast<size_t>(tableCellWidth(table));
    LineWriter writer;
    writer.used = 0;
    writer.last = '\0';
    if (!table->titlePrinted) {
        printTitle(writer, table->title);
        table->titlePrinted = true;
    }
    // Every row that has a cell after it is settled.
    size_t settled = (table->cellCount - 1) / columns;
    const Cell* rest = printRows(writer, table->firstCell, settled, columns, cellWidth);
    flushBlock(writer);

    // The cells that wait move to the front of the emptied table: copied
    // aside first, as the blocks they are in are carved again.
    size_t restCount = 0;
    size_t restSize = 0;
    for (const Cell* cell = rest; cell != nullptr; cell = cell->next) {
        restCount++;
        restSize += sizeof(int32_t) + sizeof(size_t) + cell->length;
    }
    char* aside = static_cast<char*>(allocateMemory(restSize));
    if (aside == nullptr) {
        outOfMemory();
    }
    char* place = aside;
    for (const Cell* cell = rest; cell != nullptr; cell = cell->next) {
        memcpy(place, &cell->ruleLength, sizeof(int32_t));
        memcpy(place + sizeof(int32_t), &cell->length, sizeof(size_t));
        place += sizeof(int32_t) + sizeof(size_t);
        memcpy(place, cell->text, cell->length);
        place += cell->length;
    }
    emptyCellTable(table);
    table->titlePrinted = true;
    place = aside;
    for (size_t i = 0; i < restCount; i++) {
        int32_t ruleLength;
        size_t length;
        memcpy(&ruleLength, place, sizeof(int32_t));
        memcpy(&length, place + sizeof(int32_t), sizeof(size_t));
        place += sizeof(int32_t) + sizeof(size_t);
        linkCell(table, place, length)->ruleLength = ruleLength;
        place += length;
    }
    releaseMemory(aside);
}

void emptyCellTable(CellTable* table)
{
    for (CellBlock* block = table->blocks; block != nullptr; block = block->next) {
        block->used = 0;
    }
    table->currentBlock = nullptr;
    table->firstCell = nullptr;
    table->lastCell = nullptr;
    table->cellCount = 0;
    table->titlePrinted = false;
}

void freeCellTable(CellTable* table)
{
    CellBlock* block = table->blocks;
    while (block != nullptr) {
        CellBlock* next = block->next;
        releaseMemory(block); // its cells and their texts too
        block = next;
    }
    releaseMemory(table->title);
    releaseMemory(table);
}

// Text tables of fixed-width cells: a title centred in underscores, rows of
// cells between borders, texts cut into slices of the cell width that go on
// over the following lines of their row.
#ifndef MIREKAST_REPORT_CELL_TABLE_H
#define MIREKAST_REPORT_CELL_TABLE_H

#include <cstddef>
#include <cstdint>

struct Cell {
    Cell* next;
    char* text; // private copy, in the table's blocks; for a rule cell "-" only
    size_t length; // of text: kept, as every cell is measured several times
    // A rule cell's length: its text is that many '-', drawn when printed, so
    // that a table's memory does not grow with rows times screen width.  0 for
    // every other cell.
    int32_t ruleLength;
};

// The blocks a table's cells are carved from, released together with it.
struct CellBlock {
    CellBlock* next;
    size_t size; // usable bytes after the header
    size_t used;
};

struct CellTable {
    char* title;     // private copy, owned
    int32_t columns; // cells in every row; at least 1
    Cell* firstCell;
    Cell* lastCell;
    CellBlock* blocks;       // oldest first
    CellBlock* currentBlock; // the one cells are carved from now; null before the first
    uint32_t cellCount;      // cells in the table now
    bool titlePrinted;       // rows of it went out already, after the title
};

// Creates an empty table titled by a copy of `title`.  Ends the process
// through outOfMemory() on failure, as every allocating operation here does.
CellTable* createCellTable(const char* title, int32_t columns);

// Appends a cell holding a copy of `text`, carved from the table's own
// blocks: a table of every instance holds a dozen cells per row, and an
// allocation per cell showed in -a's profile.
void appendCell(CellTable* table, const char* text);

// The same for a text whose length the caller knows already.
void appendCellOfLength(CellTable* table, const char* text, size_t length);

// Appends a rule row: one rule cell of `width` '-', then up to `slots` cells:
// rule cells until `filled` of them are there, then empty cells when
// `fillEmpty` is greater than zero, nothing more otherwise.
void appendRuleRow(int32_t width, int32_t slots, CellTable* table, int32_t filled,
                   int32_t fillEmpty);

// The width every cell of this table prints with, from the run settings.
int32_t tableCellWidth(const CellTable* table);

// Writes the table to standard output, then two empty lines.  Long lines go
// out in pieces, so that printing needs no memory of the screen width.
void printCellTable(const CellTable* table);

// When the table holds more cells than its first block has room for, writes
// its title (once) and every row but the last to standard output and takes
// them out of the table; the last row waits, as its borders depend on the row
// after it.  printCellTable then prints the rest as if no row had gone out
// before: the same text, while a table of every instance holds some rows at a
// time rather than all of them.
void printSettledRows(CellTable* table);

// Takes every cell out of the table, keeping its blocks for the cells of the
// next table of the same title and columns: memory released and asked again
// for every table of a big object showed as page faults.
void emptyCellTable(CellTable* table);

// Releases the title, every cell and its text (their blocks), and the table.
void freeCellTable(CellTable* table);

#endif

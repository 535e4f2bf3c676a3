// Report output: the cell-table renderer and the three report forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cli/run_settings.h"
#include "report/cell_table.h"
#include "report/report.h"
#include "support/child_process.h"

namespace {

struct Counter {
    std::string name;
    uint32_t value;
};
struct Instance {
    std::string name;
    std::vector<Counter> counters;
};
struct Object {
    std::string name;
    std::vector<Instance> instances; // in the order they should print
    std::vector<std::string> columns;
};

// Builds the two trees in the shape registration leaves them: lists hold the
// given order (appended, so a test can also give an order insertion would).
void buildTrees(const std::vector<Object>& objects, NodeList* dataTree, NodeList* headerTree)
{
    for (const Object& object : objects) {
        Node* data = createNode(object.name.c_str(), 0, nullptr, nullptr, nullptr);
        appendNode(dataTree, data);
        NodeList* instances = createList("", data);
        for (const Instance& instance : object.instances) {
            Node* instanceNode = createNode(instance.name.c_str(), 0, nullptr, nullptr, instances);
            appendNode(instances, instanceNode);
            NodeList* counters = createList("", instanceNode);
            for (const Counter& counter : instance.counters) {
                appendNode(counters, createNode(counter.name.c_str(), counter.value, nullptr,
                                                nullptr, counters));
            }
        }
        Node* header = createNode(object.name.c_str(), 0, nullptr, nullptr, nullptr);
        appendNode(headerTree, header);
        NodeList* columns = createList("", header);
        for (const std::string& column : object.columns) {
            appendNode(columns, createNode(column.c_str(), 0, nullptr, nullptr, columns));
        }
    }
}

// Prints the report in a child with the given settings.
ChildResult report(const std::vector<Object>& objects, int32_t screenWidth, uint32_t flags)
{
    return runInChild([&] {
        runSettings.screenWidth = screenWidth;
        runSettings.flags = flags;
        NodeList* dataTree = createList("", nullptr);
        NodeList* headerTree = createList("", nullptr);
        buildTrees(objects, dataTree, headerTree);
        printReport(dataTree, headerTree);
        destroyTree(dataTree);
        destroyTree(headerTree);
        return 0;
    });
}

void expectReport(const ChildResult& run, const std::string& expected)
{
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

// The sample of the worked examples: wish83 lacks "% User Time".
const std::vector<Object> GVIM_AND_WISH = {
    {"Process",
     {{"gvim", {{"% Processor Time", 3}, {"% User Time", 2}, {"Elapsed Time", 1234}}},
      {"wish83", {{"% Processor Time", 0}, {"Elapsed Time", 98}}}},
     {"% Processor Time", "% User Time", "Elapsed Time"}}};

// One instance "i" with counters c1..cn valued 1..n, all of them columns.
std::vector<Object> countersOneToN(int n)
{
    Object object{"Obj", {{"i", {}}}, {}};
    for (int k = 1; k <= n; k++) {
        object.instances[0].counters.push_back({"c" + std::to_string(k), uint32_t(k)});
        object.columns.push_back("c" + std::to_string(k));
    }
    return {object};
}

// `settleEvery` n > 0: the rows that are settled go out after every n cells.
ChildResult renderTable(const char* title, int32_t columns, int32_t screenWidth,
                        const std::vector<std::string>& cells, bool ruleAfterEachRow = false,
                        size_t settleEvery = 0)
{
    return runInChild([&] {
        runSettings.screenWidth = screenWidth;
        CellTable* table = createCellTable(title, columns);
        int32_t inRow = 0;
        size_t appended = 0;
        for (const std::string& text : cells) {
            appendCell(table, text.c_str());
            if (ruleAfterEachRow && ++inRow == columns) {
                appendRuleRow(tableCellWidth(table), columns - 1, table, columns - 1, 0);
                inRow = 0;
            }
            if (settleEvery > 0 && ++appended % settleEvery == 0) {
                printSettledRows(table);
            }
        }
        printCellTable(table);
        freeCellTable(table);
        return 0;
    });
}

TEST(CellTable, RendersTheWorkedExampleAtWidthTwenty)
{
    expectReport(renderTable("Process", 2, 20,
                             {"gvim", "Elapsed Time", "wish83", "% User Time"}, true),
                 "______Process______\n"
                 "|gvim    |Elapsed |\n"
                 "|        |Time    |\n"
                 "|--------+--------|\n"
                 "|wish83  |% User T|\n"
                 "|        |ime     |\n"
                 "|--------+--------|\n"
                 "\n\n");
}

TEST(CellTable, CutsTextsAtTheCellWidthExactly)
{
    // Eight characters fill the line; nine spill one onto a second line.
    expectReport(renderTable("T", 2, 20, {"12345678", "123456789"}),
                 "_________T_________\n"
                 "|12345678|12345678 \n"
                 "|        |9        \n"
                 "\n\n");
}

TEST(CellTable, EmptyCellsPrintBlanksAndNoBorderSingleSpacesKeepIt)
{
    expectReport(renderTable("AB", 3, 29, {" ", "", "x", "", " ", " "}),
                 "_____________AB_____________\n"
                 "|        |         x       |\n"
                 "|                 |         \n"
                 "\n\n");
}

TEST(CellTable, JoinsRuleSegmentsWithPlusInAnyRow)
{
    // A text ending in '-' before one beginning with '-' is joined by "+".
    expectReport(renderTable("ABC", 2, 20, {"ab------", "-cd", "x", "y"}),
                 "________ABC________\n"
                 "|ab------+-cd     |\n"
                 "|x       |y        \n"
                 "\n\n");
}

TEST(CellTable, TitlesAreCentredAndNeverCut)
{
    expectReport(renderTable("T", 1, 20, {}), "_________T_________\n\n\n");
    expectReport(renderTable("AB", 1, 20, {}), "_________AB________\n\n\n");
    expectReport(renderTable("ABC", 1, 20, {}), "________ABC________\n\n\n");
    expectReport(renderTable("Process", 1, 80, {}),
                 std::string(36, '_') + "Process" + std::string(36, '_') + "\n\n\n");
    expectReport(renderTable("nineteen characters", 1, 20, {}),
                 "nineteen characters\n\n\n");
    expectReport(renderTable("A title wider than the screen", 1, 20, {"x"}),
                 "A title wider than the screen\n|x                 \n\n\n");
}

TEST(CellTable, AShortLastRowPrintsItsMissingCellsAsEmpty)
{
    expectReport(renderTable("T", 3, 29, {"a", "b", "c", "d"}),
                 "______________T_____________\n"
                 "|a       |b       |c       |\n"
                 "|d                          \n"
                 "\n\n");
}

// Big tables go out through a block of their own size: lines and cells that
// straddle its end, and cells wider than the whole block, print as they would
// all at once.  The expected text is built here the plain way, from cells that
// hold no rule and no empty text.
std::string plainTable(const std::string& title, size_t columns, size_t screenWidth,
                       size_t cellWidth, const std::vector<std::string>& cells)
{
    std::string out;
    size_t before = (screenWidth - title.size()) / 2;
    out += std::string(before, '_') + title +
           std::string(screenWidth - 1 - before - title.size(), '_') + "\n";
    for (size_t row = 0; row < cells.size(); row += columns) {
        size_t lines = 1;
        for (size_t i = row; i < row + columns && i < cells.size(); i++) {
            lines = std::max(lines, (cells[i].size() + cellWidth - 1) / cellWidth);
        }
        for (size_t k = 0; k < lines; k++) {
            out += "|";
            for (size_t i = row; i < row + columns; i++) {
                std::string text = i < cells.size() ? cells[i] : "";
                std::string piece = k * cellWidth < text.size() ? text.substr(k * cellWidth, cellWidth) : "";
                out += piece + std::string(cellWidth - piece.size(), ' ');
                out += i + 1 < cells.size() ? '|' : ' ';
            }
            out += "\n";
        }
    }
    return out + "\n\n";
}

TEST(CellTable, BigTablesPrintAsTheyWouldAllAtOnce)
{
    const struct {
        int32_t screenWidth;
        int32_t columns;
        size_t cells;
    } shapes[] = {{83, 5, 4000}, {200, 3, 900}, {9000, 2, 7}};
    for (const auto& shape : shapes) {
        SCOPED_TRACE("screen width " + std::to_string(shape.screenWidth));
        runSettings.screenWidth = shape.screenWidth;
        CellTable* probe = createCellTable("x", shape.columns);
        size_t cellWidth = static_cast<size_t>(tableCellWidth(probe));
        freeCellTable(probe);
        std::vector<std::string> cells;
        for (size_t i = 0; i < shape.cells; i++) {
            // From one character to some cell widths, none of them empty.
            size_t length = 1 + (i * 7919) % (3 * cellWidth);
            cells.push_back(std::string(length, static_cast<char>('a' + i % 26)));
        }
        std::string expected = plainTable("Big", static_cast<size_t>(shape.columns),
                                          static_cast<size_t>(shape.screenWidth), cellWidth,
                                          cells);
        ChildResult run = renderTable("Big", shape.columns, shape.screenWidth, cells);
        ASSERT_GT(run.out.size(), 8192u);
        expectReport(run, expected);
        // Rows sent out while the table fills, at any cell of a row, print
        // the same text; so do rule rows, whose borders join the next row's.
        for (size_t every : {1, 3, 97}) {
            SCOPED_TRACE("rows settled every " + std::to_string(every) + " cells");
            expectReport(renderTable("Big", shape.columns, shape.screenWidth, cells, false, every),
                         expected);
            expectReport(renderTable("Big", shape.columns, shape.screenWidth, cells, true, every),
                         renderTable("Big", shape.columns, shape.screenWidth, cells, true).out);
        }
    }
}

TEST(Report, OneTableAtWidthEightyInHex)
{
    expectReport(report(GVIM_AND_WISH, 80, 0),
                 "____________________________________Process____________________________________\n"
                 "|                  |% Processor Time  |% User Time       |Elapsed Time      |\n"
                 "|------------------+------------------+------------------+------------------|\n"
                 "|gvim              |00000003          |00000002          |000004d2          |\n"
                 "|------------------+------------------+------------------+------------------|\n"
                 "|wish83            |00000000          |                  |00000062          |\n"
                 "|------------------+------------------+------------------+------------------|\n"
                 "\n\n\n\n");
}

TEST(Report, TwoChunksAtWidthThirtyInDecimal)
{
    expectReport(report(GVIM_AND_WISH, 30, FLAG_DECIMAL),
                 "___________Process___________\n"
                 "|        |% Proces|% User T|\n"
                 "|        |sor Time|ime     |\n"
                 "|--------+--------+--------|\n"
                 "|gvim    |3       |2       |\n"
                 "|--------+--------+--------|\n"
                 "|wish83  |0       |        |\n"
                 "|--------+--------+--------|\n"
                 "\n\n"
                 "___________Process___________\n"
                 "|        |Elapsed |         \n"
                 "|        |Time    |         \n"
                 "|--------+--------|         \n"
                 "|gvim    |1234    |         \n"
                 "|--------+--------|         \n"
                 "|wish83  |98      |         \n"
                 "|--------+--------|         \n"
                 "\n\n\n\n");
}

TEST(Report, ValuesFindTheirColumnWhateverTheOrderOfTheCounters)
{
    // The same values, counters in column order, reversed, and with a repeated
    // name (the first of that name is the one shown), print the same table.
    std::vector<Object> ordered = GVIM_AND_WISH;
    std::vector<Object> shuffled = GVIM_AND_WISH;
    std::reverse(shuffled[0].instances[0].counters.begin(),
                 shuffled[0].instances[0].counters.end());
    shuffled[0].instances[1].counters.push_back({"% Processor Time", 7});
    std::vector<Object> repeated = GVIM_AND_WISH;
    repeated[0].instances[0].counters.insert(repeated[0].instances[0].counters.begin() + 1,
                                             {"% Processor Time", 9});
    ChildResult expected = report(ordered, 30, FLAG_DECIMAL);
    expectReport(report(shuffled, 30, FLAG_DECIMAL), expected.out);
    ChildResult withRepeat = report(repeated, 30, FLAG_DECIMAL);
    expectReport(withRepeat, expected.out);
}

TEST(CellTable, AnEmptiedTablePrintsItsNewCellsAsAFreshOneWould)
{
    // Enough cells for several blocks and a text longer than a block: first
    // at the end, then at the start, where the kept first block is too small.
    std::vector<std::string> before;
    for (int i = 0; i < 6000; i++) {
        before.push_back("cell " + std::to_string(i));
    }
    std::vector<std::string> after = before;
    before.push_back(std::string(70000, 'x'));
    before.push_back("last");
    after.insert(after.begin(), {std::string(70001, 'y'), "first"});
    ChildResult fresh = renderTable("T", 2, 40, after, true);
    ChildResult reused = runInChild([&] {
        runSettings.screenWidth = 40;
        CellTable* table = createCellTable("T", 2);
        for (const std::vector<std::string>* cells : {&before, &after}) {
            for (size_t i = 0; i < cells->size(); i++) {
                appendCell(table, (*cells)[i].c_str());
                if (i % 2 == 1) {
                    appendRuleRow(tableCellWidth(table), 1, table, 1, 0);
                }
            }
            if (cells == &before) {
                emptyCellTable(table);
            }
        }
        printCellTable(table);
        freeCellTable(table);
        return 0;
    });
    EXPECT_GT(fresh.out.size(), 70001u);
    expectReport(reused, fresh.out);
}

TEST(Report, ListAndLongList)
{
    expectReport(report(GVIM_AND_WISH, 80, FLAG_LIST),
                 "Process : gvim : % Processor Time = 0x00000003\n"
                 "Process : gvim : % User Time = 0x00000002\n"
                 "Process : gvim : Elapsed Time = 0x000004d2\n"
                 "Process : wish83 : % Processor Time = 0x00000000\n"
                 "Process : wish83 : Elapsed Time = 0x00000062\n");
    expectReport(report(GVIM_AND_WISH, 80, FLAG_LIST | FLAG_LONG_LIST | FLAG_DECIMAL),
                 "Performance Object: Process\n"
                 "  Performance Object Instance: gvim\n"
                 "    Performance Object Instance Counter: % Processor Time = 3\n"
                 "    Performance Object Instance Counter: % User Time = 2\n"
                 "    Performance Object Instance Counter: Elapsed Time = 1234\n"
                 "  Performance Object Instance: wish83\n"
                 "    Performance Object Instance Counter: % Processor Time = 0\n"
                 "    Performance Object Instance Counter: Elapsed Time = 98\n");
    // The tables ignore the long-list flag on its own.
    EXPECT_EQ(report(GVIM_AND_WISH, 80, FLAG_LONG_LIST).out, report(GVIM_AND_WISH, 80, 0).out);
}

TEST(Report, ColumnChunksAroundMaxColumns)
{
    expectReport(report(countersOneToN(7), 80, FLAG_DECIMAL), R"(______________________________________Obj______________________________________
|        |c1      |c2      |c3      |c4      |c5      |c6      |c7      |
|--------+--------+--------+--------+--------+--------+--------+--------|
|i       |1       |2       |3       |4       |5       |6       |7       |
|--------+--------+--------+--------+--------+--------+--------+--------|




)");
    expectReport(report(countersOneToN(8), 80, FLAG_DECIMAL), R"(______________________________________Obj______________________________________
|        |c1      |c2      |c3      |c4      |c5      |c6      |c7      |
|--------+--------+--------+--------+--------+--------+--------+--------|
|i       |1       |2       |3       |4       |5       |6       |7       |
|--------+--------+--------+--------+--------+--------+--------+--------|


______________________________________Obj______________________________________
|        |c8      |                                                      
|--------+--------|                                                      
|i       |8       |                                                      
|--------+--------|                                                      




)");
    expectReport(report(countersOneToN(9), 80, FLAG_DECIMAL), R"(______________________________________Obj______________________________________
|        |c1      |c2      |c3      |c4      |c5      |c6      |c7      |
|--------+--------+--------+--------+--------+--------+--------+--------|
|i       |1       |2       |3       |4       |5       |6       |7       |
|--------+--------+--------+--------+--------+--------+--------+--------|


______________________________________Obj______________________________________
|        |c8      |c9      |                                             
|--------+--------+--------|                                             
|i       |8       |9       |                                             
|--------+--------+--------|                                             




)");
    expectReport(report({{"Obj", {{"i", {{"c1", 5}}}}, {"c1"}}}, 30, FLAG_DECIMAL),
                 R"(_____________Obj_____________
|             |c1           |
|-------------+-------------|
|i            |5            |
|-------------+-------------|




)");
}

TEST(Report, AllOnesAndZeroInEveryForm)
{
    const std::vector<Object> sample = {
        {"P", {{"i", {{"a", 0xffffffffu}, {"b", 0}}}}, {"a", "b"}}};
    EXPECT_NE(report(sample, 40, 0).out.find("|ffffffff   |00000000   |"), std::string::npos);
    EXPECT_NE(report(sample, 40, FLAG_DECIMAL).out.find("|4294967295 |0          |"),
              std::string::npos);
    expectReport(report(sample, 40, FLAG_LIST), "P : i : a = 0xffffffff\nP : i : b = 0x00000000\n");
    expectReport(report(sample, 40, FLAG_LIST | FLAG_DECIMAL), "P : i : a = -1\nP : i : b = 0\n");
    expectReport(report(sample, 40, FLAG_LIST | FLAG_LONG_LIST | FLAG_DECIMAL),
                 "Performance Object: P\n  Performance Object Instance: i\n"
                 "    Performance Object Instance Counter: a = -1\n"
                 "    Performance Object Instance Counter: b = 0\n");
}

TEST(Report, CountersTheHeaderDoesNotNameShowOnlyInLists)
{
    const std::vector<Object> sample = {
        {"P", {{"i", {{"hidden", 1}, {"shown", 2}, {"shown", 3}}}}, {"shown"}}};
    ChildResult tables = report(sample, 40, FLAG_DECIMAL);
    EXPECT_EQ(tables.out.find("hidden"), std::string::npos);
    // Of two counters of one name the first gives the value.
    EXPECT_NE(tables.out.find("|i                 |2                 |"), std::string::npos);
    expectReport(report(sample, 40, FLAG_LIST | FLAG_DECIMAL),
                 "P : i : hidden = 1\nP : i : shown = 2\nP : i : shown = 3\n");
}

TEST(Report, ObjectsWithoutInstancesOrColumnsPrintNoTable)
{
    const std::vector<Object> sample = {{"Empty", {}, {"a"}},
                                        {"NoColumns", {{"i", {{"a", 1}}}}, {}}};
    expectReport(report(sample, 40, 0), "\n\n\n\n");
    expectReport(report(sample, 40, FLAG_LIST), "NoColumns : i : a = 0x00000001\n");
    expectReport(report(sample, 40, FLAG_LIST | FLAG_LONG_LIST),
                 "Performance Object: Empty\nPerformance Object: NoColumns\n"
                 "  Performance Object Instance: i\n"
                 "    Performance Object Instance Counter: a = 0x00000001\n");
}

TEST(Report, ObjectsArePairedWithHeadersByPosition)
{
    const std::vector<Object> sample = {{"P", {{"x", {{"a", 1}, {"b", 2}}}}, {"b"}},
                                        {"P", {{"y", {{"a", 3}, {"b", 4}}}}, {"a"}}};
    expectReport(report(sample, 30, FLAG_DECIMAL),
                 "______________P______________\n"
                 "|             |b            |\n"
                 "|-------------+-------------|\n"
                 "|x            |2            |\n"
                 "|-------------+-------------|\n"
                 "\n\n\n\n"
                 "______________P______________\n"
                 "|             |a            |\n"
                 "|-------------+-------------|\n"
                 "|y            |3            |\n"
                 "|-------------+-------------|\n"
                 "\n\n\n\n");
}

} // namespace

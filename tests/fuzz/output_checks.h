// Readers of the program's output forms for the machine-flow fuzzer: each
// takes what a run wrote on standard output and answers "" when it holds, or
// what is wrong with it.  They read the forms as their consumers would (a
// CSV reader, a strict JSON parser, a Prometheus text-format parser, a person
// looking at a box), not by repeating how the program writes them.
#ifndef MIREKAST_TESTS_FUZZ_OUTPUT_CHECKS_H
#define MIREKAST_TESTS_FUZZ_OUTPUT_CHECKS_H

#include <cstddef>
#include <string>

// A count of rows or lines not to check: the run ended before its last.
const size_t ANY_COUNT = static_cast<size_t>(-1);

// The boxed tables: every row line of a table as wide as the table's first,
// no wider than the screen, title lines the screen's width less one, every
// table closed by a rule line and followed by a blank line.
std::string checkTables(const std::string& out, int screenWidth);

// -l: one line per counter, "Object : Instance : Counter = value".
std::string checkList(const std::string& out, bool decimal);

// -ll: the three kinds of line, in their order, counter lines with a value.
std::string checkLongList(const std::string& out, bool decimal);

// -L / -LO: the heading, then tab-led lines in their sections.
std::string checkNameListing(const std::string& out, bool objectsOnly);

// CSV as RFC 4180 reads it: every record with the header's number of fields;
// `rows` records after the header.
std::string checkCsv(const std::string& out, size_t rows);

// JSON Lines: `lines` lines, each one object that a strict parser takes, no
// (object, instance, index, counter) twice in one sample.
std::string checkJsonLines(const std::string& out, size_t lines);

// The JSON name listing: one document.
std::string checkJsonDocument(const std::string& out);

// Prometheus text format 0.0.4: every line parses, one HELP and one TYPE per
// family before its samples, a family's lines together, no series twice.
std::string checkPrometheus(const std::string& out);

// Whether `text` is valid UTF-8 (no overlong forms, surrogates or code points
// beyond U+10FFFF).
bool validUtf8(const std::string& text);

// The first byte below 0x20 that is not in `allowed`, or -1.
long forbiddenControl(const std::string& text, const char* allowed);

#endif

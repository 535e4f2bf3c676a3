// The parser of the sets that follow -s: {Object -i ISpec ... -c CSpec ... }.
#ifndef MIREKAST_CLI_SET_PARSER_H
#define MIREKAST_CLI_SET_PARSER_H

#include <cstdint>

#include "tree/node_list.h"

// What the next argument is.
enum ArgumentState { PARSE_OPTIONS, PARSE_IN_SET, PARSE_COLUMN_WIDTH, PARSE_SCREEN_WIDTH };

// Where the set being parsed stands.
enum SetState { SET_OPEN, SET_OBJECT, SET_EXPECT_INSTANCES, SET_INSTANCES, SET_COUNTERS };

// The state of one parseCommandLine call, shared with the set parser.
struct CommandLineState {
    const char* programName;  // printed in the "See" line of set errors
    NodeList* setList;        // set nodes > instance-spec nodes > counter-spec nodes
    ArgumentState argumentState;
    SetState setState;
    int32_t instanceCount;    // instance specs in the current -i group
    int32_t counterCount;     // counter specs in the current -c group
    Node* currentSet;         // the set node being filled
    Node* groupFirstInstance; // the first instance spec of the current -i group
};

// Opens a new set: called for each "-s".
void resetSetState(CommandLineState* state);

// Takes one argument of an open set: adds to setList, completes the set (the
// argument state returns to PARSE_OPTIONS), or reports a format error, releases
// setList and ends the process with exit code 4.
void parseSetArgument(CommandLineState* state, const char* argument);

// The arguments ended inside a set: reports it, releases setList, exit code 4.
[[noreturn]] void reportIncompleteSet(CommandLineState* state);

// Position of the first '}' of `text` that no backslash escapes, or -1.
int findCloseBrace(const char* text);

#endif

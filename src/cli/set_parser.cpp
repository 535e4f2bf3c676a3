#include "cli/set_parser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"

static const char POORLY_FORMATTED[] = "Error: Poorly formatted set argument: ";
static const char UNKNOWN_ARGUMENT[] = "Error: Unknown set argument: ";
static const char SEE_HINT[] = "-hs for requirements.\n";
static const char NO_OBJECT[] = "No Object specified.";
static const char NO_INSTANCES[] = "No Instances specified.";
static const char NO_COUNTERS[] = "No Counters specified.";

// The three forms of set format error; each releases setList and ends with 4.

[[noreturn]] static void endWithSetError(CommandLineState* state)
{
    destroyTree(state->setList);
    exit(EXIT_BAD_REQUEST);
}

[[noreturn]] static void reportPoorlyFormatted(CommandLineState* state, const char* argument,
                                               const char* reason)
{
    fprintf(stderr, "%s\"%s\"\n%s\nSee %s %s", POORLY_FORMATTED, argument, reason,
            state->programName, SEE_HINT);
    endWithSetError(state);
}

[[noreturn]] static void reportUnknownArgument(CommandLineState* state, const char* argument)
{
    fprintf(stderr, "%s\"%s\"\nSee %s %s", UNKNOWN_ARGUMENT, argument, state->programName,
            SEE_HINT);
    endWithSetError(state);
}

[[noreturn]] static void reportExtraCharacters(CommandLineState* state, const char* argument)
{
    fprintf(stderr, "%s\"%s\"\nExtra chars after close curly brace.\nSee %s %s",
            POORLY_FORMATTED, argument, state->programName, SEE_HINT);
    endWithSetError(state);
}

void reportIncompleteSet(CommandLineState* state)
{
    fputs("Error: Poorly formatted set argument.\n", stderr);
    fputs("Incomplete set at end of args.\n", stderr);
    fprintf(stderr, "See %s %s", state->programName, SEE_HINT);
    endWithSetError(state);
}

int findCloseBrace(const char* text)
{
    for (int position = 0; text[position] != '\0'; position++) {
        if (text[position] == '\\') {
            if (text[position + 1] == '\0') {
                break;
            }
            position++; // the escaped character, whatever it is
        } else if (text[position] == '}') {
            return position;
        }
    }
    return -1;
}

void resetSetState(CommandLineState* state)
{
    state->setState = SET_OPEN;
    state->instanceCount = 0;
    state->counterCount = 0;
}

static bool holdsBrace(const char* argument)
{
    return findCloseBrace(argument) != -1;
}

static void addSetNode(CommandLineState* state, const char* objectName)
{
    Node* setNode = createNode(objectName, 0, nullptr, nullptr, state->setList);
    appendNode(state->setList, setNode);
    createList("", setNode);
    state->currentSet = setNode;
    state->setState = SET_EXPECT_INSTANCES;
}

static void addInstanceSpec(CommandLineState* state, const char* spec)
{
    NodeList* instanceSpecs = state->currentSet->childList;
    Node* instanceSpec = createNode(spec, 0, nullptr, nullptr, instanceSpecs);
    appendNode(instanceSpecs, instanceSpec);
    createList("", instanceSpec);
    state->instanceCount++;
    if (state->instanceCount == 1) {
        state->groupFirstInstance = instanceSpec;
    }
}

// Gives every instance spec of the current -i group its own copy of this counter spec.
static void addCounterSpec(CommandLineState* state, const char* spec)
{
    state->counterCount++;
    for (Node* instanceSpec = state->groupFirstInstance; instanceSpec != nullptr;
         instanceSpec = instanceSpec->next) {
        NodeList* counterSpecs = instanceSpec->childList;
        appendNode(counterSpecs, createNode(spec, 0, nullptr, nullptr, counterSpecs));
    }
}

static void completeSet(CommandLineState* state)
{
    state->argumentState = PARSE_OPTIONS;
}

static void parseAfterDashS(CommandLineState* state, const char* argument)
{
    if (strcmp(argument, "{") == 0) {
        state->setState = SET_OBJECT;
        return;
    }
    int brace = findCloseBrace(argument);
    if (brace >= 2) {
        reportPoorlyFormatted(state, argument, NO_INSTANCES);
    }
    if (brace != -1) {
        reportPoorlyFormatted(state, argument, NO_OBJECT);
    }
    // An empty argument has neither the brace nor an object name.
    if (argument[0] == '\0' || argument[1] == '-') {
        reportPoorlyFormatted(state, argument, NO_OBJECT);
    }
    // The first character stands for the opening brace and is not examined.
    addSetNode(state, argument + 1);
}

static void parseObjectName(CommandLineState* state, const char* argument)
{
    if (strcmp(argument, "-i") == 0 || strcmp(argument, "-c") == 0 || holdsBrace(argument)) {
        reportPoorlyFormatted(state, argument, NO_OBJECT);
    }
    if (argument[0] == '-') {
        reportUnknownArgument(state, argument);
    }
    addSetNode(state, argument);
}

static void parseExpectInstances(CommandLineState* state, const char* argument)
{
    if (strcmp(argument, "-i") != 0) {
        reportPoorlyFormatted(state, argument, NO_INSTANCES);
    }
    state->setState = SET_INSTANCES;
}

static void parseInstanceSpec(CommandLineState* state, const char* argument)
{
    if (holdsBrace(argument)) {
        reportPoorlyFormatted(state, argument,
                              state->instanceCount == 0 ? NO_INSTANCES : NO_COUNTERS);
    }
    if (strcmp(argument, "-c") == 0) {
        if (state->instanceCount == 0) {
            reportPoorlyFormatted(state, argument, NO_INSTANCES);
        }
        state->setState = SET_COUNTERS;
        return;
    }
    if (argument[0] == '-') {
        reportUnknownArgument(state, argument);
    }
    addInstanceSpec(state, argument);
}

static void parseCounterSpec(CommandLineState* state, const char* argument)
{
    int brace = findCloseBrace(argument);
    size_t length = strlen(argument);
    if (brace != -1 && length > 1) {
        if (argument[0] == '-') {
            reportUnknownArgument(state, argument);
        }
        if (static_cast<size_t>(brace) != length - 1) {
            reportExtraCharacters(state, argument);
        }
        char* spec = copyText(argument);
        spec[brace] = '\0';
        addCounterSpec(state, spec);
        releaseMemory(spec);
        completeSet(state);
        return;
    }
    if (strcmp(argument, "}") == 0) {
        if (state->counterCount == 0) {
            reportPoorlyFormatted(state, argument, NO_COUNTERS);
        }
        completeSet(state);
        return;
    }
    if (strcmp(argument, "-i") == 0) {
        if (state->counterCount == 0) {
            reportPoorlyFormatted(state, argument, NO_COUNTERS);
        }
        state->instanceCount = 0;
        state->counterCount = 0;
        state->setState = SET_INSTANCES;
        return;
    }
    if (argument[0] == '-') {
        reportUnknownArgument(state, argument);
    }
    addCounterSpec(state, argument);
}

void parseSetArgument(CommandLineState* state, const char* argument)
{
    switch (state->setState) {
    case SET_OPEN:
        parseAfterDashS(state, argument);
        break;
    case SET_OBJECT:
        parseObjectName(state, argument);
        break;
    case SET_EXPECT_INSTANCES:
        parseExpectInstances(state, argument);
        break;
    case SET_INSTANCES:
        parseInstanceSpec(state, argument);
        break;
    case SET_COUNTERS:
        parseCounterSpec(state, argument);
        break;
    }
}

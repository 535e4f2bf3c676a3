#include "cli/command_line.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/help_texts.h"
#include "cli/long_options.h"
#include "cli/run_settings.h"
#include "cli/set_parser.h"
#include "driver/fatal.h"

bool isAllDigits(const char* text)
{
    for (const char* c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return true;
}

[[noreturn]] static void endWithError(NodeList* setList)
{
    destroyTree(setList);
    exit(EXIT_BAD_REQUEST);
}

// Reads the value of -cw or -sw.  Digits that do not fit a signed 32-bit
// integer are refused like any other non-integer, rather than wrapped.
static int32_t readWidth(NodeList* setList, const char* option, const char* value)
{
    int64_t number = 0;
    bool fits = isAllDigits(value);
    for (const char* c = value; fits && *c != '\0'; c++) {
        number = number * 10 + (*c - '0');
        fits = number <= INT32_MAX;
    }
    if (!fits) {
        fprintf(stderr, "Error: Argument \"%s\" requires integer value.\n", option);
        endWithError(setList);
    }
    return static_cast<int32_t>(number);
}

struct FlagOption {
    const char* name;
    uint32_t flags;
};

static const FlagOption FLAG_OPTIONS[] = {
    {"-a", FLAG_ALL_OBJECTS},
    {"-r", FLAG_REPEAT},
    {"-r1", FLAG_REPEAT_ONCE},
    {"-l", FLAG_LIST},
    {"-ll", FLAG_LIST | FLAG_LONG_LIST},
    {"-L", FLAG_NAMES_ONLY},
    {"-LO", FLAG_NAMES_ONLY | FLAG_OBJECTS_ONLY},
    {"-d", FLAG_DECIMAL},
};

static void parseOption(CommandLineState* state, const char* argument)
{
    if (strcmp(argument, "-h") == 0) {
        destroyTree(state->setList);
        printHelp(state->programName, 0);
    }
    if (strcmp(argument, "-hs") == 0) {
        destroyTree(state->setList);
        printSetHelp(state->programName, 0);
    }
    if (strcmp(argument, "-v") == 0) {
        destroyTree(state->setList);
        printVersion();
    }
    for (const FlagOption& option : FLAG_OPTIONS) {
        if (strcmp(argument, option.name) == 0) {
            runSettings.flags |= option.flags;
            return;
        }
    }
    if (strcmp(argument, "-cw") == 0) {
        state->argumentState = PARSE_COLUMN_WIDTH;
    } else if (strcmp(argument, "-sw") == 0) {
        state->argumentState = PARSE_SCREEN_WIDTH;
    } else if (strcmp(argument, "-s") == 0) {
        resetSetState(state);
        state->argumentState = PARSE_IN_SET;
    } else {
        fprintf(stderr, "Error: Undefined argument \"%s\"\n", argument);
        destroyTree(state->setList);
        printHelp(state->programName, EXIT_UNDEFINED_ARGUMENT);
    }
}

// The checks after the last argument, in order; the first that fails ends the
// process with exit code 4.
static void checkFinalSettings(CommandLineState* state, const char* lastArgument)
{
    NodeList* setList = state->setList;
    if (state->argumentState == PARSE_IN_SET) {
        reportIncompleteSet(state);
    }
    if (state->argumentState == PARSE_COLUMN_WIDTH || state->argumentState == PARSE_SCREEN_WIDTH) {
        fprintf(stderr, "Error: Argument \"%s\" requires value.\n", lastArgument);
        endWithError(setList);
    }
    if (runSettings.columnWidth < 8) {
        fputs("Error: Argument \"-cw\" requires value >= 8.\n", stderr);
        endWithError(setList);
    }
    if (2 * (static_cast<int64_t>(runSettings.columnWidth) + 1) + 2 > runSettings.screenWidth) {
        fputs("Error: Argument \"-sw\" requires value >= ( (column width + 1) * 2) + 2).\n",
              stderr);
        endWithError(setList);
    }
    if ((runSettings.flags & FLAG_ALL_OBJECTS) != 0 &&
        (runSettings.flags & (FLAG_REPEAT | FLAG_REPEAT_ONCE)) != 0) {
        fputs("Error: -s and -a options are mutually exclusive.\n", stderr);
        endWithError(setList);
    }
    if ((runSettings.flags & FLAG_ALL_OBJECTS) == 0 && setList->count == 0) {
        fputs("Error: No performance data requested.  Use -a or -s.\n", stderr);
        endWithError(setList);
    }
    checkLongOptions(state);
}

NodeList* parseCommandLine(int argc, char** argv)
{
    CommandLineState state = {};
    state.programName = argc > 0 && argv[0] != nullptr ? argv[0] : "mirekast";
    state.setList = createList("", nullptr);
    state.argumentState = PARSE_OPTIONS;
    resetSetState(&state);

    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        switch (state.argumentState) {
        case PARSE_OPTIONS:
            if (!parseLongOption(&state, argc, argv, &i)) {
                parseOption(&state, argument);
            }
            break;
        case PARSE_COLUMN_WIDTH:
            runSettings.columnWidth = readWidth(state.setList, "-cw", argument);
            state.argumentState = PARSE_OPTIONS;
            break;
        case PARSE_SCREEN_WIDTH:
            runSettings.screenWidth = readWidth(state.setList, "-sw", argument);
            state.argumentState = PARSE_OPTIONS;
            break;
        case PARSE_IN_SET:
            parseSetArgument(&state, argument);
            break;
        }
    }
    checkFinalSettings(&state, argc > 1 ? argv[argc - 1] : "");
    return state.setList;
}

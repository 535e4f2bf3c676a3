#include "cli/long_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/help_texts.h"
#include "cli/run_settings.h"
#include "driver/fatal.h"

LongOptionSettings longOptions = {0, DEFAULT_INTERVAL_MILLIS, FORMAT_TEXT, false};

enum LongOption { LONG_COUNT, LONG_INTERVAL, LONG_FORMAT, LONG_HELP, LONG_VERSION };

struct LongOptionName {
    const char* name;
    LongOption option;
    bool takesValue;
};

static const LongOptionName LONG_OPTIONS[] = {
    {"--count", LONG_COUNT, true},     {"--interval", LONG_INTERVAL, true},
    {"--format", LONG_FORMAT, true},   {"--help", LONG_HELP, false},
    {"--version", LONG_VERSION, false},
};

// The bounds of --interval, in milliseconds.
static const double MIN_INTERVAL_MILLIS = 100.0;
static const double MAX_INTERVAL_MILLIS = 86400000.0;

[[noreturn]] static void refuse(CommandLineState* state, const char* option, const char* needs)
{
    fprintf(stderr, "Error: Argument \"%s\" requires %s.\n", option, needs);
    destroyTree(state->setList);
    exit(EXIT_BAD_REQUEST);
}

// A positive integer that fits 32 bits; digits only, as for -cw.  A number
// beyond either end is told the range.
static uint32_t readCount(CommandLineState* state, const char* option, const char* value)
{
    uint64_t number = 0;
    bool digits = value[0] != '\0';
    for (const char* c = value; digits && *c != '\0'; c++) {
        digits = *c >= '0' && *c <= '9';
        number = number * 10 + static_cast<uint64_t>(*c - '0');
        if (number > UINT32_MAX) {
            number = UINT32_MAX + uint64_t(1); // stays out of range, whatever follows
        }
    }
    if (!digits) {
        refuse(state, option, "integer value");
    }
    if (number == 0 || number > UINT32_MAX) {
        refuse(state, option, "value from 1 to 4294967295");
    }
    return static_cast<uint32_t>(number);
}

// Seconds as digits with at most one decimal point ("2", "0.5", ".5", "5."):
// no sign, no exponent, so that what is accepted is what a user reads.
static uint32_t readInterval(CommandLineState* state, const char* option, const char* value)
{
    size_t digitCount = 0;
    size_t pointCount = 0;
    for (const char* c = value; *c != '\0'; c++) {
        if (*c >= '0' && *c <= '9') {
            digitCount++;
        } else if (*c == '.') {
            pointCount++;
        } else {
            pointCount = 2;
            break;
        }
    }
    if (digitCount == 0 || pointCount > 1) {
        refuse(state, option, "decimal value");
    }
    double millis = strtod(value, nullptr) * 1000.0;
    if (!(millis >= MIN_INTERVAL_MILLIS - 1e-6 && millis <= MAX_INTERVAL_MILLIS)) {
        refuse(state, option, "value from 0.1 to 86400");
    }
    return static_cast<uint32_t>(std::lround(millis));
}

static OutputFormat readFormat(CommandLineState* state, const char* option, const char* value)
{
    if (strcmp(value, "csv") == 0) {
        return FORMAT_CSV;
    }
    if (strcmp(value, "json") == 0) {
        return FORMAT_JSON;
    }
    if (strcmp(value, "prometheus") == 0) {
        return FORMAT_PROMETHEUS;
    }
    refuse(state, option, "csv, json or prometheus");
}

bool parseLongOption(CommandLineState* state, int argc, char** argv, int* index)
{
    const char* argument = argv[*index];
    if (strncmp(argument, "--", 2) != 0) {
        return false;
    }
    const LongOptionName* found = nullptr;
    const char* value = nullptr;
    for (const LongOptionName& option : LONG_OPTIONS) {
        size_t length = strlen(option.name);
        if (strncmp(argument, option.name, length) != 0) {
            continue;
        }
        if (argument[length] == '\0') {
            found = &option;
        } else if (argument[length] == '=' && option.takesValue) {
            found = &option;
            value = argument + length + 1;
        }
    }
    if (found == nullptr) {
        return false;  // "--h", "--x", "--help=1": undefined, as before
    }
    if (found->option == LONG_HELP) {
        destroyTree(state->setList);
        printLongHelp(state->programName);
    }
    if (found->option == LONG_VERSION) {
        destroyTree(state->setList);
        printVersion();
    }
    if (value == nullptr) {
        if (*index + 1 >= argc) {
            refuse(state, found->name, "value");
        }
        *index += 1;
        value = argv[*index];
    }
    switch (found->option) {
    case LONG_COUNT:
        longOptions.passCount = readCount(state, found->name, value);
        break;
    case LONG_INTERVAL:
        longOptions.intervalMillis = readInterval(state, found->name, value);
        break;
    case LONG_FORMAT:
        longOptions.format = readFormat(state, found->name, value);
        break;
    case LONG_HELP:
    case LONG_VERSION:
        break;
    }
    longOptions.onSchedule = true;
    return true;
}

void checkLongOptions(CommandLineState* state)
{
    // An exposition is printed once, after the last pass: a run without an
    // end would never print one.
    if (longOptions.format == FORMAT_PROMETHEUS && longOptions.passCount == 0 &&
        (runSettings.flags & FLAG_REPEAT) != 0 && (runSettings.flags & FLAG_NAMES_ONLY) == 0) {
        refuse(state, "-r", "--count with --format prometheus");
    }
}

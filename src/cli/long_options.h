// The long options: --count, --interval, --format, --help and --version.  Each
// is a whole argument; a value follows as the next argument or after "=".
// They are read only where an option may stand, never inside a set, and leave
// every short option as it is.
#ifndef MIREKAST_CLI_LONG_OPTIONS_H
#define MIREKAST_CLI_LONG_OPTIONS_H

#include <cstdint>

#include "cli/set_parser.h"

// The forms that print samples for other programs instead of tables or lists.
enum OutputFormat { FORMAT_TEXT, FORMAT_CSV, FORMAT_JSON, FORMAT_PROMETHEUS };

// What the long options set.  Written only while the command line is parsed.
struct LongOptionSettings {
    uint32_t passCount;      // --count; 0: as -r and -r1 say
    uint32_t intervalMillis; // --interval; between passes and the two collections of -r1
    OutputFormat format;     // --format
    bool onSchedule;         // any of the three given: passes keep the period of --interval
};

const uint32_t DEFAULT_INTERVAL_MILLIS = 1000;

extern LongOptionSettings longOptions;

// Takes the option argv[*index] when it is one of the long options, with its
// value (argv[*index + 1], which *index then moves past, or the text after
// "=").  Returns false, having done nothing, for any other argument.  Prints
// the help or version text, or a value error, and ends the process itself.
bool parseLongOption(CommandLineState* state, int argc, char** argv, int* index);

// The checks of the long options against the rest of the command line, after
// every other final check has passed.  A failure ends the process, exit 4.
void checkLongOptions(CommandLineState* state);

// The help text of every option, short and long, and the exit codes; exit 0.
[[noreturn]] void printLongHelp(const char* programName);

#endif

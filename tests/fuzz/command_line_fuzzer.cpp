// libFuzzer target: turns its input into an argument vector and runs the
// command-line parser in-process.  The parser ends the process on every error
// and for the help texts; exit() is wrapped at link time (--wrap=exit) so that
// those ends come back here instead, and each input is judged on its own.
// Run it with -close_fd_mask=3: the help text and messages would flood the
// terminal, while libFuzzer and the sanitizers keep their own reports.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/long_options.h"
#include "cli/run_settings.h"

static jmp_buf backToTarget;
static int lastExitCode;
static bool inParser;

extern "C" void __real_exit(int code);

extern "C" void __wrap_exit(int code)
{
    if (!inParser) {
        __real_exit(code);
    }
    lastExitCode = code;
    longjmp(backToTarget, 1);
}

// Arguments are separated by NUL bytes; the first one is the program name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<std::string> args;
    static std::vector<char*> argv;
    args.assign(1, "mirekast");
    std::string current;
    for (size_t i = 0; i < size; i++) {
        if (data[i] == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) {
        args.push_back(current);
    }
    argv.clear();
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);

    runSettings = RunSettings{INITIAL_SCREEN_WIDTH, INITIAL_COLUMN_WIDTH, 0};
    longOptions = LongOptionSettings{0, DEFAULT_INTERVAL_MILLIS, FORMAT_TEXT, false};
    fflush(stdout);
    if (setjmp(backToTarget) == 0) {
        inParser = true;
        NodeList* setList = parseCommandLine(static_cast<int>(args.size()), argv.data());
        inParser = false;
        // A parse that returns has valid settings and something to sample.
        if (runSettings.columnWidth < 8 ||
            runSettings.screenWidth < 2 * static_cast<int64_t>(runSettings.columnWidth) + 4 ||
            ((runSettings.flags & FLAG_ALL_OBJECTS) == 0 && setList->count == 0) ||
            longOptions.intervalMillis < 100 || longOptions.intervalMillis > 86400000 ||
            (longOptions.format == FORMAT_PROMETHEUS && longOptions.passCount == 0 &&
             (runSettings.flags & (FLAG_REPEAT | FLAG_NAMES_ONLY)) == FLAG_REPEAT)) {
            abort();
        }
        destroyTree(setList);
    } else {
        inParser = false;
        if (lastExitCode != 0 && lastExitCode != 3 && lastExitCode != 4) {
            abort();
        }
    }
    return 0;
}

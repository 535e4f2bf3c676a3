#include "driver/program.h"

#include <cstdio>

#include "cli/command_line.h"
#include "driver/fatal.h"

int programMain(int argc, char** argv)
{
    // 1. Parse the command line; help, version and every error end the process here.
    NodeList* setList = parseCommandLine(argc, argv);
    (void)setList;

    fputs("Error: sampling performance data is not built yet.\n", stderr);
    return EXIT_BAD_REQUEST;
}

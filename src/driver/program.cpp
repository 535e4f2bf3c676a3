#include "driver/program.h"

#include <cstdio>

#include "cli/command_line.h"
#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/enumeration.h"

int programMain(int argc, char** argv)
{
    // 1. Parse the command line; help, version and every error end the process here.
    NodeList* setList = parseCommandLine(argc, argv);

    // 2. The object slot, which the object listing fills.
    char** objectSlot = static_cast<char**>(allocateMemory(sizeof(char*)));
    if (objectSlot == nullptr) {
        outOfMemory();
    }

    // 3. The names of every performance object of the machine.
    getObjectListing(objectSlot);

    // 4. Names only: print the listing and stop; no query is opened.
    if ((runSettings.flags & FLAG_NAMES_ONLY) != 0) {
        printNameListing(*objectSlot);
        releaseMemory(*objectSlot);
        releaseMemory(objectSlot);
        destroyTree(setList); // the process ends right after; released for leak checkers
        return EXIT_OK;
    }

    // 5. SAMPLING RUN GOES HERE: runSampling(setList, objectSlot) from
    //    driver/sampling_run.h, then destroyTree(setList) and return EXIT_OK.
    //    It cannot be called before printReport exists: nothing would link.
    releaseMemory(*objectSlot);
    releaseMemory(objectSlot);
    destroyTree(setList);
    fputs("Error: sampling performance data is not built yet.\n", stderr);
    return EXIT_BAD_REQUEST;
}

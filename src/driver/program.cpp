#include "driver/program.h"

#include <cstdio>

#include "cli/command_line.h"
#include "cli/long_options.h"
#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "driver/output_check.h"
#include "driver/sampling_run.h"
#include "pdh/enumeration.h"
#include "platform/output_failure.h"
#include "report/json_report.h"

int programMain(int argc, char** argv)
{
    endOnAnyFailedAllocation();

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
        // A reader that has all it wants ends a listing as it ends a run.
        failWritesToClosedPipe();
        if (longOptions.format == FORMAT_JSON) {
            printJsonNameListing(*objectSlot);
        } else {
            printNameListing(*objectSlot);
        }
        releaseMemory(*objectSlot);
        releaseMemory(objectSlot);
        destroyTree(setList); // the process ends right after; released for leak checkers
        return finishOutput();
    }

    // 5. The sampling run; it releases the object names and their slot.
    runSampling(setList, objectSlot);
    destroyTree(setList);
    return finishOutput();
}

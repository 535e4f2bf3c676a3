#include "driver/sampling_run.h"

#include <cstdio>
#include <cstdlib>

#include "cli/long_options.h"
#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "driver/output_check.h"
#include "pdh/registration.h"
#include "pdh/sampling.h"
#include "platform/console.h"
#include "platform/pdh_api.h"
#include "platform/stamps.h"
#include "report/formatted_report.h"
#include "report/report.h"

static char** allocateSlot()
{
    char** slot = static_cast<char**>(allocateMemory(sizeof(char*)));
    if (slot == nullptr) {
        outOfMemory();
    }
    return slot;
}

static PDH_HQUERY openQuery()
{
    PDH_HQUERY query = nullptr;
    PDH_STATUS status = PdhOpenQueryA(nullptr, 1, &query);
    pdhDebug(status, "main");
    if (status != ERROR_SUCCESS) {
        fputs("Failed to open new query.\n", stderr);
        exit(EXIT_PDH_FAILURE);
    }
    return query;
}

// One collection, or two an interval apart for the counters computed from two
// samples; a failed collection still goes on to fetch and print.  Returns the
// time of the last one, for the forms that stamp their passes.
static WallTime collect(PDH_HQUERY query)
{
    PDH_STATUS status = PdhCollectQueryData(query);
    if ((runSettings.flags & FLAG_REPEAT_ONCE) != 0) {
        sleepMilliseconds(longOptions.intervalMillis);
        status = PdhCollectQueryData(query);
    }
    pdhDebug(status, "main");
    return longOptions.format != FORMAT_TEXT ? wallClockNow() : WallTime();
}

// Whether another pass follows the `passes` taken: --count passes, else
// until a key with -r, else one.
static bool morePasses(uint32_t passes)
{
    if (longOptions.passCount != 0) {
        return passes < longOptions.passCount;
    }
    return (runSettings.flags & FLAG_REPEAT) != 0;
}

static void sampleUntilDone(PDH_HQUERY query, NodeList* dataTree, NodeList* headerTree)
{
    beginConsoleSampling();
    uint32_t passes = 0;
    while (!keyPressWaiting() && !ferror(stdout)) {
        WallTime stamp = collect(query);
        passes++;
        if (longOptions.format == FORMAT_TEXT) {
            visitTree(dataTree, gatherPerfData, nullptr);
            printReport(dataTree, headerTree);
        } else {
            printFormattedPass(dataTree, stamp, passes);
        }
        flushPassOutput();
        if (!morePasses(passes)) {
            break;
        }
        sleepMilliseconds(longOptions.intervalMillis);
    }
    finishFormattedReport(dataTree, passes);
    flushPassOutput();
    endConsoleSampling();
}

void runSampling(NodeList* setList, char** objectSlot)
{
    // Setting up.
    char** counterSlot = allocateSlot();
    char** instanceSlot = allocateSlot();
    NodeList* dataTree = createList("", nullptr);
    NodeList* headerTree = createList("", nullptr);
    PDH_HQUERY query = openQuery();

    // Registering.
    if ((runSettings.flags & FLAG_ALL_OBJECTS) != 0) {
        registerAllObjects(*objectSlot, counterSlot, instanceSlot, query, dataTree, headerTree);
    } else {
        registerSets(setList, *objectSlot, counterSlot, instanceSlot, query, dataTree,
                     headerTree);
    }

    // Checking for data.
    if (dataTree->count == 0) {
        fputs("Error: No performance data is available on the items you requested.\n", stderr);
        destroyTree(setList);
        exit(EXIT_BAD_REQUEST);
    }

    sampleUntilDone(query, dataTree, headerTree);

    // Ending: closing the query ends every counter handle in dataTree.
    PdhCloseQuery(query);
    releaseMemory(*objectSlot);
    releaseMemory(objectSlot);
    releaseMemory(instanceSlot);
    releaseMemory(counterSlot);
    destroyTree(dataTree);
    destroyTree(headerTree);
}

#include "driver/sampling_run.h"

#include <cstdio>
#include <cstdlib>

#include "cli/long_options.h"
#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "driver/output_check.h"
#include "driver/pass_schedule.h"
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

// One collection, or two a second apart for the counters computed from two
// samples; a failed collection still goes on to fetch and print.
static void collect(PDH_HQUERY query)
{
    PDH_STATUS status = PdhCollectQueryData(query);
    if ((runSettings.flags & FLAG_REPEAT_ONCE) != 0) {
        sleepMilliseconds(longOptions.intervalMillis);
        status = PdhCollectQueryData(query);
    }
    pdhDebug(status, "main");
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

static void printPass(NodeList* dataTree, NodeList* headerTree, const WallTime& stamp,
                      uint32_t passNumber)
{
    if (longOptions.format == FORMAT_TEXT) {
        visitTree(dataTree, gatherPerfData, nullptr);
        printReport(dataTree, headerTree);
    } else {
        printFormattedPass(dataTree, stamp, passNumber);
    }
    flushPassOutput();
}

// Without long options: a pass, then a plain sleep, as the run always was.
static void sampleUntilDone(PDH_HQUERY query, NodeList* dataTree, NodeList* headerTree)
{
    beginConsoleSampling();
    uint32_t passes = 0;
    while (!keyPressWaiting() && !ferror(stdout)) {
        collect(query);
        passes++;
        printPass(dataTree, headerTree, WallTime(), passes);
        if (!morePasses(passes)) {
            break;
        }
        sleepMilliseconds(longOptions.intervalMillis);
    }
    endConsoleSampling();
}

// With long options: pass k is due k intervals after the start, whatever the
// passes before it cost (see pass_schedule.h).  -r1 collects once ahead of the
// first pass instead of twice in every pass, so consecutive passes share a
// collection: N passes, each with its rates, from N + 1 collections one
// interval apart.  For --format an ending signal waits for the record being
// written, and nothing starts after it.
static void sampleOnSchedule(PDH_HQUERY query, NodeList* dataTree, NodeList* headerTree)
{
    beginConsoleSampling();
    if (longOptions.format != FORMAT_TEXT) {
        holdEndingSignals();
    }
    bool ahead = (runSettings.flags & FLAG_REPEAT_ONCE) != 0;
    PassSchedule schedule = startSchedule(monotonicMillis(), longOptions.intervalMillis);
    uint32_t passes = 0;
    while (!keyPressWaiting() && !ferror(stdout) && heldEndingSignal() == 0) {
        // Stamped as the collection starts: when it was due, however long
        // the machine takes to answer it.
        WallTime stamp = !ahead && longOptions.format != FORMAT_TEXT ? wallClockNow() : WallTime();
        PDH_STATUS status = PdhCollectQueryData(query);
        pdhDebug(status, "main");
        if (ahead) {
            ahead = false;
        } else {
            if (heldEndingSignal() != 0) {
                break;
            }
            passes++;
            printPass(dataTree, headerTree, stamp, passes);
            if (!morePasses(passes)) {
                break;
            }
        }
        sleepUntilMillis(takeNextPeriod(&schedule, monotonicMillis()));
    }
    if (heldEndingSignal() == 0) {
        finishFormattedReport(dataTree, passes);
        flushPassOutput();
    }
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

    if (longOptions.onSchedule) {
        sampleOnSchedule(query, dataTree, headerTree);
    } else {
        sampleUntilDone(query, dataTree, headerTree);
    }

    // Ending: closing the query ends every counter handle in dataTree.
    PdhCloseQuery(query);
    releaseMemory(*objectSlot);
    releaseMemory(objectSlot);
    releaseMemory(instanceSlot);
    releaseMemory(counterSlot);
    destroyTree(dataTree);
    destroyTree(headerTree);

    // Held while a record was written: the process ends by it, as it would have.
    if (heldEndingSignal() != 0) {
        destroyTree(setList);
        endByHeldSignal();
    }
}

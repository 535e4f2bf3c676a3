#include "pdh/enumeration.h"

#include <cstdio>

#include "cli/run_settings.h"
#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/sampling.h"
#include "report/shown_name.h"

// A list can grow between the sizing and the filling call (a process starts);
// PDH then answers the filling call that its buffer is too small.  Size and fill again, but
// not forever: a machine that keeps changing that fast is a failure.
static const int ENUMERATION_ATTEMPTS = 4;

// After a list has grown once it is likely to grow again before the next
// filling call (processes and threads starting all the time), so a retry asks
// for half as much room again as the sizing call reported.
static DWORD roomForGrowth(int attempt, DWORD size)
{
    if (attempt == 1 || size > 0x7FFFFFFFu) {
        return size;
    }
    return size + size / 2;
}

static const char OBJECTS_FAILED[] = "Failed to Enumerate Objects";
static const char ITEMS_FAILED[] = "Failed to Enumerate Object Items";

// Current Windows answers the sizing call with PDH_MORE_DATA, older ones with 0;
// either way the sizes are set.
static bool sizingAccepted(PDH_STATUS status)
{
    return status == ERROR_SUCCESS || pdhStatusIs(status, PDH_MORE_DATA);
}

// A filling call whose buffer proved too small: the list grew since it was
// sized.  Some releases say so with PDH_INVALID_ARGUMENT rather than
// PDH_MORE_DATA; from a filling call, with buffers of the sizes just reported,
// it can only mean that.
static bool listGrew(PDH_STATUS status)
{
    return pdhStatusIs(status, PDH_MORE_DATA) || pdhStatusIs(status, PDH_INVALID_ARGUMENT);
}

// A buffer for a list of `size` characters; a size of 0 gives none.
static char* allocateList(DWORD size)
{
    if (size == 0) {
        return nullptr;
    }
    char* buffer = static_cast<char*>(allocateMemory(size));
    if (buffer == nullptr) {
        outOfMemory();
    }
    return buffer;
}

void getObjectListing(char** objectSlot)
{
    for (int attempt = 1;; attempt++) {
        DWORD size = 0;
        PDH_STATUS status =
            PdhEnumObjectsA(nullptr, nullptr, nullptr, &size, PERF_DETAIL_WIZARD, TRUE);
        pdhDebug(status, "getObjectListing (expected)");
        if (!sizingAccepted(status)) {
            reportPdhFailure(OBJECTS_FAILED, true);
        }
        size = roomForGrowth(attempt, size);
        *objectSlot = allocateList(size);
        status = PdhEnumObjectsA(nullptr, nullptr, *objectSlot, &size, PERF_DETAIL_WIZARD, TRUE);
        if (status == ERROR_SUCCESS) {
            return;
        }
        pdhDebug(status, "getObjectListing");
        if (!listGrew(status) || attempt == ENUMERATION_ATTEMPTS) {
            reportPdhFailure(OBJECTS_FAILED, true);
        }
        releaseMemory(*objectSlot);
        *objectSlot = nullptr;
    }
}

void getObjectItemListing(const char* objectName, char** counterSlot, char** instanceSlot,
                          DWORD* counterSize, DWORD* instanceSize)
{
    for (int attempt = 1;; attempt++) {
        if (attempt > 1) {
            *counterSize = 0;
            *instanceSize = 0;
        }
        PDH_STATUS status =
            PdhEnumObjectItemsA(nullptr, nullptr, objectName, nullptr, counterSize, nullptr,
                                instanceSize, PERF_DETAIL_WIZARD, 0);
        if (status != ERROR_SUCCESS) {
            pdhDebug(status, "getObjectItemListing (expected)");
            if (!sizingAccepted(status)) {
                reportPdhFailure(ITEMS_FAILED, true);
            }
        }
        *counterSize = roomForGrowth(attempt, *counterSize);
        *instanceSize = roomForGrowth(attempt, *instanceSize);
        *counterSlot = allocateList(*counterSize);
        *instanceSlot = allocateList(*instanceSize);
        status = PdhEnumObjectItemsA(nullptr, nullptr, objectName, *counterSlot, counterSize,
                                     *instanceSlot, instanceSize, PERF_DETAIL_WIZARD, 0);
        if (status == ERROR_SUCCESS) {
            return;
        }
        pdhDebug(status, "getObjectItemListing");
        if (!listGrew(status) || attempt == ENUMERATION_ATTEMPTS) {
            reportPdhFailure(ITEMS_FAILED, true);
        }
        releaseMemory(*counterSlot);
        releaseMemory(*instanceSlot);
        *counterSlot = nullptr;
        *instanceSlot = nullptr;
    }
}

const char* firstName(const char* block)
{
    if (block == nullptr || *block == '\0') {
        return nullptr;
    }
    return block;
}

const char* nextName(const char* name)
{
    if (name == nullptr) {
        return nullptr;
    }
    while (*name != '\0') {
        name++;
    }
    return firstName(name + 1);
}

static char** allocateSlot()
{
    char** slot = static_cast<char**>(allocateMemory(sizeof(char*)));
    if (slot == nullptr) {
        outOfMemory();
    }
    return slot;
}

static void printShownItem(const char* name)
{
    fputs("\t\t", stdout);
    writeShownName(stdout, name);
    putchar('\n');
}

void printNameListing(const char* objectNames)
{
    char** counterSlot = allocateSlot();
    char** instanceSlot = allocateSlot();
    printf("System Performance Objects:\n");
    for (const char* object = firstName(objectNames); object != nullptr;
         object = nextName(object)) {
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        putchar('\t');
        writeShownName(stdout, object);
        putchar('\n');
        if ((runSettings.flags & FLAG_OBJECTS_ONLY) != 0) {
            continue;
        }
        getObjectItemListing(object, counterSlot, instanceSlot, &counterSize, &instanceSize);
        printf("\t    Performance Object Instances:\n");
        if (instanceSize <= 2) {
            printf("\t\tUNNAMED\n");
        } else {
            for (const char* instance = firstName(*instanceSlot); instance != nullptr;
                 instance = nextName(instance)) {
                printShownItem(instance);
            }
        }
        printf("\t    Performance Object Counters:\n");
        for (const char* counter = firstName(*counterSlot); counter != nullptr;
             counter = nextName(counter)) {
            printShownItem(counter);
        }
        releaseMemory(*counterSlot);
        releaseMemory(*instanceSlot);
        *counterSlot = nullptr;
        *instanceSlot = nullptr;
    }
    releaseMemory(counterSlot);
    releaseMemory(instanceSlot);
}

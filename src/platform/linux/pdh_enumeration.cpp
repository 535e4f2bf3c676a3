// PdhEnumObjectsA and PdhEnumObjectItemsA over the table of objects.
//
// Both answer as current Windows does: a call without a buffer, or with one
// too small for the list as it is now, sets the sizes needed and answers
// PDH_MORE_DATA; a call with room enough fills the lists, sets the sizes
// written and answers ERROR_SUCCESS.
//
// A program lists one object after another, each with a sizing and a filling
// call, and reading the whole process table for each call would cost several
// times what one collection reads.  So the instances are read afresh with two
// savings, both only within a moment (READING_REUSE_NS):
// A moment is counted from the end of the call before, not its start: on a
// machine of tens of thousands of threads one reading takes longer than a
// moment, and its filling call must not read everything again.
// - objects listed one after another share one reading of the files they have
//   in common (Thread takes the process names and thread counts from the stat
//   files that Process read); an object listed a second time reads afresh;
// - a call for the object of the call before answers that call's list: for
//   Process and Thread when the same processes are there, which one listing of
//   /proc tells (a process started or ended in between shows as a grown or
//   shrunk list); for the others, whose instances (processors, disks,
//   interfaces, paging files) do not come and go from one call to the next,
//   always.
#include <string>
#include <vector>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"
#include "platform/pdh_api.h"

namespace {

PDH_STATUS status(DWORD value)
{
    return static_cast<PDH_STATUS>(value);
}

void appendName(std::string& list, const std::string& name)
{
    list += name;
    list += '\0';
}

// Sizes in characters, terminators included.  An empty list still has its
// final terminator and one for the empty name: 2.
void finishList(std::string& list)
{
    if (list.empty()) {
        list += '\0';
    }
    list += '\0';
}

bool fits(const std::string& list, const char* buffer, DWORD size)
{
    return list.empty() || (buffer && size >= list.size());
}

void copyList(const std::string& list, char* buffer, LPDWORD size)
{
    if (!list.empty()) {
        list.copy(buffer, list.size());
    }
    *size = static_cast<DWORD>(list.size());
}

PDH_STATUS checkSource(LPCSTR dataSource, LPCSTR machine)
{
    if (dataSource && dataSource[0] != '\0') {
        return status(PDH_INVALID_ARGUMENT);
    }
    if (machine && machine[0] != '\0') {
        return status(PDH_CSTATUS_NO_MACHINE);
    }
    return ERROR_SUCCESS;
}

const int64_t READING_REUSE_NS = 100000000;

struct EnumerationReading {
    unsigned collection;  // collectionNumber() when it began; 0: none
    int64_t lastEndedNs;  // when the last listing of it ended
    std::vector<const PerfObject*> listed;
};

struct Listing {
    const PerfObject* object;  // null: none
    unsigned collection;       // collectionNumber() when it was taken
    int64_t endedNs;
    std::vector<int> pids;
    std::string instances;
};

EnumerationReading reading = {0, 0, {}};
Listing lastListing = {nullptr, 0, 0, {}, {}};

bool recent(int64_t sinceNs, int64_t nowNs)
{
    return nowNs - sinceNs < READING_REUSE_NS;
}

bool listedIn(const EnumerationReading& current, const PerfObject* object)
{
    for (const PerfObject* listed : current.listed) {
        if (listed == object) {
            return true;
        }
    }
    return false;
}

// The MULTI_SZ list of the object's instances as they are now (an object
// without instances has none at all).  False, with no list, when the reading
// ran out of descriptors or memory: a list of the instances that could be
// opened would be a wrong answer, not a short one.
bool instanceList(const PerfObject* object, std::string& instances)
{
    int64_t now = sampleClockNanoseconds();
    bool fromProcesses = object == &processObject || object == &threadObject;
    clearExhaustion();
    // A collection, or tests pointing the layer at other files, begins a
    // new reading: nothing from before it is answered.
    if (lastListing.object == object && lastListing.collection == collectionNumber() &&
        recent(lastListing.endedNs, now) &&
        (!fromProcesses || listProcessIds() == lastListing.pids) && !exhaustionNoted()) {
        instances = lastListing.instances;
        lastListing.endedNs = reading.lastEndedNs = sampleClockNanoseconds();
        return true;
    }
    bool joins = reading.collection != 0 && reading.collection == collectionNumber() &&
                 recent(reading.lastEndedNs, now) && !listedIn(reading, object);
    if (!joins) {
        beginCollection();
        reading.collection = collectionNumber();
        reading.listed.clear();
    }
    reading.listed.push_back(object);

    ObjectSample sample;
    sample.timeNs = sampleClockNanoseconds();
    object->sample(SOURCE_NAMES_ONLY, sample);
    if (exhaustionNoted()) {
        reading.collection = 0;
        lastListing.object = nullptr;
        return false;
    }
    instances.clear();
    for (const InstanceSample& instance : sample.instances) {
        appendName(instances, instance.name);
    }
    finishList(instances);
    int64_t ended = sampleClockNanoseconds();
    reading.lastEndedNs = ended;
    lastListing.object = object;
    lastListing.collection = collectionNumber();
    lastListing.endedNs = ended;
    lastListing.pids = fromProcesses ? processIds() : std::vector<int>();
    lastListing.instances = instances;
    return true;
}

} // namespace

PDH_STATUS PdhEnumObjectsA(LPCSTR szDataSource, LPCSTR szMachineName, PZZSTR mszObjectList,
                           LPDWORD pcchBufferSize, DWORD dwDetailLevel, BOOL bRefresh)
{
    (void)dwDetailLevel;  // every counter is served at every level
    (void)bRefresh;       // the list of objects never changes
    PDH_STATUS checked = checkSource(szDataSource, szMachineName);
    if (checked != ERROR_SUCCESS) {
        return checked;
    }
    if (!pcchBufferSize) {
        return status(PDH_INVALID_ARGUMENT);
    }
    std::string list;
    for (int i = 0; i < perfObjectCount; ++i) {
        appendName(list, perfObjects[i]->name);
    }
    finishList(list);
    if (!fits(list, mszObjectList, *pcchBufferSize)) {
        *pcchBufferSize = static_cast<DWORD>(list.size());
        return status(PDH_MORE_DATA);
    }
    copyList(list, mszObjectList, pcchBufferSize);
    return ERROR_SUCCESS;
}

PDH_STATUS PdhEnumObjectItemsA(LPCSTR szDataSource, LPCSTR szMachineName, LPCSTR szObjectName,
                               PZZSTR mszCounterList, LPDWORD pcchCounterListLength,
                               PZZSTR mszInstanceList, LPDWORD pcchInstanceListLength,
                               DWORD dwDetailLevel, DWORD dwFlags)
{
    (void)dwDetailLevel;
    (void)dwFlags;
    PDH_STATUS checked = checkSource(szDataSource, szMachineName);
    if (checked != ERROR_SUCCESS) {
        return checked;
    }
    if (!szObjectName || !pcchCounterListLength || !pcchInstanceListLength) {
        return status(PDH_INVALID_ARGUMENT);
    }
    const PerfObject* object = findPerfObject(szObjectName);
    if (!object) {
        return status(PDH_CSTATUS_NO_OBJECT);
    }
    std::string counters;
    for (int i = 0; i < object->counterCount; ++i) {
        appendName(counters, object->counters[i].name);
    }
    finishList(counters);

    // An object without instances has no instance list at all: size 0.
    std::string instances;
    if (object->hasInstances && !instanceList(object, instances)) {
        return status(PDH_MEMORY_ALLOCATION_FAILURE);
    }

    if (!fits(counters, mszCounterList, *pcchCounterListLength) ||
        !fits(instances, mszInstanceList, *pcchInstanceListLength)) {
        *pcchCounterListLength = static_cast<DWORD>(counters.size());
        *pcchInstanceListLength = static_cast<DWORD>(instances.size());
        return status(PDH_MORE_DATA);
    }
    copyList(counters, mszCounterList, pcchCounterListLength);
    copyList(instances, mszInstanceList, pcchInstanceListLength);
    return ERROR_SUCCESS;
}

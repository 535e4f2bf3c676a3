// PdhEnumObjectsA and PdhEnumObjectItemsA over the table of objects.
//
// Both answer as current Windows does: a call without a buffer, or with one
// too small for the list as it is now, sets the sizes needed and answers
// PDH_MORE_DATA; a call with room enough fills the lists, sets the sizes
// written and answers ERROR_SUCCESS.  Every call reads the instances afresh,
// so a process started between the sizing and the filling call shows as a
// grown list.
#include <string>

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
    if (object->hasInstances) {
        beginCollection();
        ObjectSample sample;
        sample.timeNs = sampleClockNanoseconds();
        object->sample(0, sample);
        for (const InstanceSample& instance : sample.instances) {
            appendName(instances, instance.name);
        }
        finishList(instances);
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

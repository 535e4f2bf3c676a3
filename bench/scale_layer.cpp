#include "scale_layer.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "platform/console.h"
#include "platform/pdh_api.h"

namespace scale {
namespace {

struct Machine {
    std::string objectName;
    std::string counterBlock;   // MULTI_SZ, as enumeration hands it out
    std::string instanceBlock;
    std::unordered_map<std::string, int> counterIndex;
    std::unordered_map<std::string, long> instanceCount;  // by name: how many share it
    std::deque<uint32_t> counters;  // one value per added counter; handles point here
    long added = 0;
    long fetched = 0;
};

Machine& machine()
{
    static Machine theMachine;
    return theMachine;
}

std::string multiSz(const std::vector<std::string>& names)
{
    std::string block;
    for (const std::string& name : names) {
        block += name;
        block += '\0';
    }
    block += '\0';
    return block;
}

PDH_STATUS status(DWORD value)
{
    return static_cast<PDH_STATUS>(value);
}

// "\\Object(instance#n)\\Counter" as the program builds it; the value is a
// mix of the three parts, so that the tables' cells differ.
bool acceptPath(const char* path, uint32_t* value)
{
    Machine& m = machine();
    size_t length = strlen(path);
    size_t objectLength = m.objectName.size();
    if (length < objectLength + 2 || path[0] != '\\' ||
        m.objectName.compare(0, objectLength, path + 1, objectLength) != 0 ||
        path[objectLength + 1] != '(') {
        return false;
    }
    const char* instance = path + objectLength + 2;
    const char* close = strstr(instance, ")\\");
    if (close == nullptr) {
        return false;
    }
    const char* hash = close;
    while (hash > instance && hash[-1] != '#') {
        --hash;
    }
    if (hash == instance) {
        return false;
    }
    std::string name(instance, static_cast<size_t>(hash - 1 - instance));
    long index = strtol(hash, nullptr, 10);
    auto shared = m.instanceCount.find(name);
    auto counter = m.counterIndex.find(close + 2);
    if (shared == m.instanceCount.end() || index >= shared->second ||
        counter == m.counterIndex.end()) {
        return false;
    }
    uint32_t mix = 2166136261u;
    for (const char* p = path; *p != '\0'; ++p) {
        mix = (mix ^ static_cast<unsigned char>(*p)) * 16777619u;
    }
    *value = mix >> (mix & 15);
    return true;
}

} // namespace

void setObject(const std::string& name, const std::vector<std::string>& counters,
               const std::vector<std::string>& instances)
{
    Machine& m = machine();
    m = Machine();
    m.objectName = name;
    m.counterBlock = multiSz(counters);
    m.instanceBlock = multiSz(instances);
    for (size_t i = 0; i < counters.size(); ++i) {
        m.counterIndex[counters[i]] = static_cast<int>(i);
    }
    for (const std::string& instance : instances) {
        ++m.instanceCount[instance];
    }
}

long addedCounters()
{
    return machine().added;
}

long fetchedValues()
{
    return machine().fetched;
}

} // namespace scale

using scale::machine;

PDH_STATUS PdhEnumObjectsA(LPCSTR, LPCSTR, PZZSTR mszObjectList, LPDWORD pcchBufferSize, DWORD,
                           BOOL)
{
    std::string block = machine().objectName;
    block += '\0';
    block += '\0';
    DWORD needed = static_cast<DWORD>(block.size());
    if (mszObjectList == nullptr || *pcchBufferSize < needed) {
        *pcchBufferSize = needed;
        return scale::status(PDH_MORE_DATA);
    }
    memcpy(mszObjectList, block.data(), needed);
    *pcchBufferSize = needed;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhEnumObjectItemsA(LPCSTR, LPCSTR, LPCSTR szObjectName, PZZSTR mszCounterList,
                               LPDWORD pcchCounterListLength, PZZSTR mszInstanceList,
                               LPDWORD pcchInstanceListLength, DWORD, DWORD)
{
    const scale::Machine& m = machine();
    if (m.objectName != szObjectName) {
        return scale::status(PDH_CSTATUS_NO_OBJECT);
    }
    DWORD counterNeeded = static_cast<DWORD>(m.counterBlock.size());
    DWORD instanceNeeded = static_cast<DWORD>(m.instanceBlock.size());
    bool fits = mszCounterList != nullptr && *pcchCounterListLength >= counterNeeded &&
                mszInstanceList != nullptr && *pcchInstanceListLength >= instanceNeeded;
    *pcchCounterListLength = counterNeeded;
    *pcchInstanceListLength = instanceNeeded;
    if (!fits) {
        return scale::status(PDH_MORE_DATA);
    }
    memcpy(mszCounterList, m.counterBlock.data(), counterNeeded);
    memcpy(mszInstanceList, m.instanceBlock.data(), instanceNeeded);
    return ERROR_SUCCESS;
}

PDH_STATUS PdhOpenQueryA(LPCSTR, DWORD_PTR, PDH_HQUERY* phQuery)
{
    *phQuery = &machine();
    return ERROR_SUCCESS;
}

PDH_STATUS PdhAddCounterA(PDH_HQUERY, LPCSTR szFullCounterPath, DWORD_PTR,
                          PDH_HCOUNTER* phCounter)
{
    uint32_t value = 0;
    if (!scale::acceptPath(szFullCounterPath, &value)) {
        return scale::status(PDH_CSTATUS_NO_COUNTER);
    }
    scale::Machine& m = machine();
    m.counters.push_back(value);
    ++m.added;
    *phCounter = &m.counters.back();
    return ERROR_SUCCESS;
}

PDH_STATUS PdhCollectQueryData(PDH_HQUERY)
{
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER hCounter, DWORD, LPDWORD,
                                       PPDH_FMT_COUNTERVALUE pValue)
{
    ++machine().fetched;
    pValue->CStatus = PDH_CSTATUS_VALID_DATA;
    pValue->longValue = static_cast<LONG>(*static_cast<const uint32_t*>(hCounter));
    return ERROR_SUCCESS;
}

// Every counter a plain value, its raw sample its formatted value.
PDH_STATUS PdhGetCounterInfoA(PDH_HCOUNTER, BOOLEAN, LPDWORD pdwBufferSize,
                              PPDH_COUNTER_INFO_A lpBuffer)
{
    if (lpBuffer == nullptr || *pdwBufferSize < sizeof(PDH_COUNTER_INFO_A)) {
        *pdwBufferSize = sizeof(PDH_COUNTER_INFO_A);
        return scale::status(PDH_MORE_DATA);
    }
    memset(lpBuffer, 0, sizeof(PDH_COUNTER_INFO_A));
    lpBuffer->dwLength = sizeof(PDH_COUNTER_INFO_A);
    lpBuffer->dwType = PERF_COUNTER_LARGE_RAWCOUNT;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetRawCounterValue(PDH_HCOUNTER hCounter, LPDWORD lpdwType,
                                 PPDH_RAW_COUNTER pValue)
{
    ++machine().fetched;
    if (lpdwType != nullptr) {
        *lpdwType = PERF_COUNTER_LARGE_RAWCOUNT;
    }
    memset(pValue, 0, sizeof(PDH_RAW_COUNTER));
    pValue->CStatus = PDH_CSTATUS_VALID_DATA;
    pValue->FirstValue = *static_cast<const uint32_t*>(hCounter);
    pValue->MultiCount = 1;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetCounterTimeBase(PDH_HCOUNTER, LONGLONG* pTimeBase)
{
    *pTimeBase = 10000000;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhCloseQuery(PDH_HQUERY)
{
    return ERROR_SUCCESS;
}

void beginConsoleSampling() {}

void endConsoleSampling() {}

bool keyPressWaiting()
{
    return false;
}

void sleepMilliseconds(unsigned) {}

int64_t monotonicMillis()
{
    return 0;
}

void sleepUntilMillis(int64_t) {}

void holdEndingSignals() {}

int heldEndingSignal()
{
    return 0;
}

void endByHeldSignal()
{
    abort();
}

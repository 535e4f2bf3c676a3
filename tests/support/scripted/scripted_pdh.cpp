// The scripted PDH: the ten functions of platform/pdh_api.h served from the
// script of scripted_layer.h.
#include "support/scripted/scripted_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "support/scripted/scripted_internal.h"

namespace scripted {
namespace {

struct ParsedPath {
    std::string object;
    bool hasInstance = false;
    std::string instance;
    long index = 0;
    std::string counter;
};

struct Query;

struct Counter {
    Query* query;
    std::string path; // as added
    ParsedPath parsed;
    DWORD_PTR userData;
};

struct Query {
    bool open = true;
    int collections = 0;
    int counters = 0;
};

struct Script {
    std::deque<Object> objects;
    DWORD noObjectsSize = 2;
    PDH_STATUS sizingAnswer = static_cast<PDH_STATUS>(PDH_MORE_DATA);
    PDH_STATUS tooSmallAnswer = static_cast<PDH_STATUS>(PDH_MORE_DATA);
    std::map<std::string, std::vector<Fetch>> values;   // by normalized path
    std::map<std::string, std::vector<Raw>> raws;       // by normalized path
    std::map<std::pair<std::string, std::string>, DWORD> types; // by object and counter
    std::map<std::string, PDH_STATUS> refusals;         // by normalized path
    std::map<std::pair<int, int>, PDH_STATUS> answers;  // by function and call number
    std::map<std::pair<int, int>, std::function<void()>> hooks;
    int calls[FUNCTION_COUNT] = {};
    std::vector<std::string> attempted;
    std::vector<std::string> accepted;
    std::vector<EnumCall> enumCalls;
    std::vector<std::string> events;
    std::deque<Query> queries;   // deques: handles are addresses and must stay put
    std::deque<Counter> counters;
};

Script& script()
{
    static Script theScript;
    return theScript;
}

// Longer digit runs are no index: they stay part of the instance name.
const size_t MAX_INDEX_DIGITS = 9;

bool parsePath(const std::string& path, ParsedPath* parsed)
{
    if (path.size() < 2 || path[0] != '\\') {
        return false;
    }
    size_t objectEnd = path.find_first_of("(\\", 1);
    if (objectEnd == std::string::npos || objectEnd == 1) {
        return false;
    }
    parsed->object = path.substr(1, objectEnd - 1);
    size_t counterStart = objectEnd + 1;
    parsed->hasInstance = path[objectEnd] == '(';
    parsed->instance.clear();
    parsed->index = 0;
    if (parsed->hasInstance) {
        size_t close = path.rfind(")\\");
        if (close == std::string::npos || close <= objectEnd + 1) {
            return false;
        }
        std::string part = path.substr(objectEnd + 1, close - objectEnd - 1);
        size_t hash = part.rfind('#');
        size_t digits = hash == std::string::npos ? 0 : part.size() - hash - 1;
        bool indexed = digits > 0 && digits <= MAX_INDEX_DIGITS &&
                       std::all_of(part.begin() + static_cast<long>(hash) + 1, part.end(),
                                   [](char c) { return c >= '0' && c <= '9'; });
        if (indexed) {
            parsed->instance = part.substr(0, hash);
            parsed->index = std::stol(part.substr(hash + 1));
        } else {
            parsed->instance = part;
        }
        if (parsed->instance.empty()) {
            return false;
        }
        counterStart = close + 2;
    }
    parsed->counter = path.substr(counterStart);
    return !parsed->counter.empty();
}

std::string normalized(const ParsedPath& parsed)
{
    if (!parsed.hasInstance) {
        return "\\" + parsed.object + "\\" + parsed.counter;
    }
    return "\\" + parsed.object + "(" + parsed.instance + "#" + std::to_string(parsed.index) +
           ")\\" + parsed.counter;
}

std::string normalizedOrDie(const std::string& path)
{
    ParsedPath parsed;
    if (!parsePath(path, &parsed)) {
        fprintf(stderr, "scripted layer: malformed counter path in the script: %s\n",
                path.c_str());
        abort();
    }
    return normalized(parsed);
}

// Numbers the call, runs its hook, and says whether a scripted answer
// replaces it.
bool scriptedAnswer(Function function, PDH_STATUS* status)
{
    Script& s = script();
    int n = ++s.calls[function];
    auto hook = s.hooks.find({function, n});
    if (hook != s.hooks.end()) {
        std::function<void()> action = hook->second;
        s.hooks.erase(hook);
        action();
    }
    auto answer = s.answers.find({function, n});
    if (answer != s.answers.end()) {
        *status = answer->second;
        return true;
    }
    return false;
}

std::string multiSz(const std::vector<std::string>& names, DWORD emptySize)
{
    if (names.empty()) {
        return std::string(emptySize, '\0');
    }
    std::string block;
    for (const std::string& name : names) {
        block += name;
        block += '\0';
    }
    block += '\0';
    return block;
}

bool fits(DWORD needed, const char* buffer, DWORD given)
{
    return needed == 0 || (buffer != nullptr && given >= needed);
}

Query* findQuery(PDH_HQUERY handle)
{
    for (Query& query : script().queries) {
        if (&query == handle && query.open) {
            return &query;
        }
    }
    return nullptr;
}

Counter* findCounter(PDH_HCOUNTER handle)
{
    for (Counter& counter : script().counters) {
        if (&counter == handle && counter.query->open) {
            return &counter;
        }
    }
    return nullptr;
}

bool instanceExists(const ParsedPath& parsed)
{
    const Object* object = findObject(parsed.object);
    if (object == nullptr) {
        return false;
    }
    if (!parsed.hasInstance) {
        return object->instances.empty();
    }
    long seen = std::count(object->instances.begin(), object->instances.end(), parsed.instance);
    return parsed.index < seen;
}

bool isTwoSample(const ParsedPath& parsed)
{
    const Object* object = findObject(parsed.object);
    return object != nullptr &&
           std::count(object->twoSampleCounters.begin(), object->twoSampleCounters.end(),
                      parsed.counter) > 0;
}

DWORD counterType(const ParsedPath& parsed)
{
    auto type = script().types.find({parsed.object, parsed.counter});
    if (type != script().types.end()) {
        return type->second;
    }
    return isTwoSample(parsed) ? PERF_COUNTER_BULK_COUNT : PERF_COUNTER_LARGE_RAWCOUNT;
}

// Written into longValue on a failed fetch, so that a caller that uses the
// value anyway shows up.
const LONG JUNK_VALUE = 0x5A5A5A5A;

PDH_STATUS failFetch(PPDH_FMT_COUNTERVALUE value, DWORD cstatus, PDH_STATUS status)
{
    value->CStatus = cstatus;
    value->longValue = JUNK_VALUE;
    return status;
}

} // namespace

namespace internal {

void recordEvent(const std::string& event)
{
    script().events.push_back(event);
}

} // namespace internal

void reset()
{
    script() = Script();
    internal::resetConsoleScript();
    internal::resetStampScript();
}

Object& addObject(const std::string& name, const std::vector<std::string>& counters,
                  const std::vector<std::string>& instances)
{
    Object object;
    object.name = name;
    object.counters = counters;
    object.instances = instances;
    script().objects.push_back(object);
    return script().objects.back();
}

Object* findObject(const std::string& name)
{
    for (Object& object : script().objects) {
        if (object.name == name) {
            return &object;
        }
    }
    return nullptr;
}

void setNoObjectsSize(DWORD size)
{
    script().noObjectsSize = size;
}

void setSizingAnswer(PDH_STATUS status)
{
    script().sizingAnswer = status;
}

void setTooSmallAnswer(PDH_STATUS status)
{
    script().tooSmallAnswer = status;
}

Fetch value(LONG longValue)
{
    return Fetch{0, longValue, static_cast<double>(longValue)};
}

Fetch fullValue(double real)
{
    // A value that is no number has no long form; PDH would not serve one.
    LONG truncated = std::isnan(real)             ? 0
                     : real >= 2147483647.0    ? 2147483647
                     : real <= -2147483648.0 ? -2147483647 - 1
                                             : static_cast<LONG>(real);
    return Fetch{0, truncated, real};
}

Fetch failure(PDH_STATUS status)
{
    return Fetch{status, 0, 0.0};
}

bool isScriptablePath(const std::string& path)
{
    ParsedPath parsed;
    return parsePath(path, &parsed);
}

void setValues(const std::string& path, const std::vector<Fetch>& fetches)
{
    script().values[normalizedOrDie(path)] = fetches;
}

void setCounterType(const std::string& object, const std::string& counter, DWORD type)
{
    script().types[{object, counter}] = type;
}

Raw raw(LONGLONG first, LONGLONG second, DWORD multiCount)
{
    return Raw{0, first, second, multiCount};
}

Raw rawFailure(PDH_STATUS status)
{
    return Raw{status, 0, 0, 0};
}

void setRawValues(const std::string& path, const std::vector<Raw>& samples)
{
    script().raws[normalizedOrDie(path)] = samples;
}

LONGLONG collectionTime(int k)
{
    // 2026-01-02T03:04:05Z, the scripted wall clock's first reading.
    const LONGLONG first = 1767323045LL * TIME_BASE;
    return first + static_cast<LONGLONG>(k - 1) * TIME_BASE;
}

void refuseCounter(const std::string& path, PDH_STATUS status)
{
    script().refusals[normalizedOrDie(path)] = status;
}

void answerCall(Function function, int n, PDH_STATUS status)
{
    script().answers[{function, n}] = status;
}

void beforeCall(Function function, int n, const std::function<void()>& action)
{
    script().hooks[{function, n}] = action;
}

int callCount(Function function)
{
    return script().calls[function];
}

std::vector<std::string> attemptedPaths()
{
    return script().attempted;
}

std::vector<std::string> acceptedPaths()
{
    return script().accepted;
}

std::string counterPath(PDH_HCOUNTER handle)
{
    for (const Counter& counter : script().counters) {
        if (&counter == handle) {
            return counter.path;
        }
    }
    return "";
}

std::vector<EnumCall> enumCalls()
{
    return script().enumCalls;
}

std::vector<std::string> events()
{
    return script().events;
}

} // namespace scripted

using scripted::script;

PDH_STATUS PdhEnumObjectsA(LPCSTR szDataSource, LPCSTR szMachineName, PZZSTR mszObjectList,
                           LPDWORD pcchBufferSize, DWORD dwDetailLevel, BOOL bRefresh)
{
    scripted::internal::recordEvent("PdhEnumObjectsA");
    scripted::EnumCall call = {scripted::ENUM_OBJECTS, "",
                               szDataSource == nullptr && szMachineName == nullptr,
                               mszObjectList != nullptr,
                               pcchBufferSize != nullptr ? *pcchBufferSize : 0,
                               false, 0, dwDetailLevel, static_cast<DWORD>(bRefresh), 0};
    PDH_STATUS status = 0;
    if (!scripted::scriptedAnswer(scripted::ENUM_OBJECTS, &status)) {
        if (pcchBufferSize == nullptr) {
            status = static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
        } else {
            std::vector<std::string> names;
            for (const scripted::Object& object : script().objects) {
                names.push_back(object.name);
            }
            std::string block = scripted::multiSz(names, script().noObjectsSize);
            DWORD needed = static_cast<DWORD>(block.size());
            if (scripted::fits(needed, mszObjectList, *pcchBufferSize)) {
                if (needed > 0) {
                    memcpy(mszObjectList, block.data(), needed);
                }
                status = 0;
            } else if (mszObjectList == nullptr) {
                status = script().sizingAnswer;
            } else {
                status = script().tooSmallAnswer;
            }
            *pcchBufferSize = needed;
        }
    }
    call.answer = status;
    script().enumCalls.push_back(call);
    return status;
}

PDH_STATUS PdhEnumObjectItemsA(LPCSTR szDataSource, LPCSTR szMachineName, LPCSTR szObjectName,
                               PZZSTR mszCounterList, LPDWORD pcchCounterListLength,
                               PZZSTR mszInstanceList, LPDWORD pcchInstanceListLength,
                               DWORD dwDetailLevel, DWORD dwFlags)
{
    std::string objectName = szObjectName != nullptr ? szObjectName : "";
    scripted::internal::recordEvent("PdhEnumObjectItemsA " + objectName);
    scripted::EnumCall call = {
        scripted::ENUM_OBJECT_ITEMS, objectName,
        szDataSource == nullptr && szMachineName == nullptr,
        mszCounterList != nullptr,
        pcchCounterListLength != nullptr ? *pcchCounterListLength : 0,
        mszInstanceList != nullptr,
        pcchInstanceListLength != nullptr ? *pcchInstanceListLength : 0,
        dwDetailLevel, dwFlags, 0};
    PDH_STATUS status = 0;
    if (!scripted::scriptedAnswer(scripted::ENUM_OBJECT_ITEMS, &status)) {
        const scripted::Object* object = scripted::findObject(objectName);
        if (pcchCounterListLength == nullptr || pcchInstanceListLength == nullptr) {
            status = static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
        } else if (object == nullptr) {
            status = static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT);
        } else {
            std::string counters = scripted::multiSz(object->counters, object->noCountersSize);
            std::string instances =
                scripted::multiSz(object->instances, object->noInstancesSize);
            DWORD counterNeeded = static_cast<DWORD>(counters.size());
            DWORD instanceNeeded = static_cast<DWORD>(instances.size());
            if (scripted::fits(counterNeeded, mszCounterList, *pcchCounterListLength) &&
                scripted::fits(instanceNeeded, mszInstanceList, *pcchInstanceListLength)) {
                if (counterNeeded > 0) {
                    memcpy(mszCounterList, counters.data(), counterNeeded);
                }
                if (instanceNeeded > 0) {
                    memcpy(mszInstanceList, instances.data(), instanceNeeded);
                }
                status = 0;
            } else if (mszCounterList == nullptr && mszInstanceList == nullptr) {
                status = script().sizingAnswer;
            } else {
                status = script().tooSmallAnswer;
            }
            *pcchCounterListLength = counterNeeded;
            *pcchInstanceListLength = instanceNeeded;
        }
    }
    call.answer = status;
    script().enumCalls.push_back(call);
    return status;
}

PDH_STATUS PdhOpenQueryA(LPCSTR szDataSource, DWORD_PTR dwUserData, PDH_HQUERY* phQuery)
{
    (void)dwUserData;
    scripted::internal::recordEvent("PdhOpenQueryA");
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::OPEN_QUERY, &status)) {
        return status;
    }
    if (szDataSource != nullptr || phQuery == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    script().queries.emplace_back();
    *phQuery = &script().queries.back();
    return 0;
}

PDH_STATUS PdhAddCounterA(PDH_HQUERY hQuery, LPCSTR szFullCounterPath, DWORD_PTR dwUserData,
                          PDH_HCOUNTER* phCounter)
{
    std::string path = szFullCounterPath != nullptr ? szFullCounterPath : "";
    scripted::internal::recordEvent("PdhAddCounterA " + path);
    script().attempted.push_back(path);
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::ADD_COUNTER, &status)) {
        return status;
    }
    scripted::Query* query = scripted::findQuery(hQuery);
    if (query == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (phCounter == nullptr || szFullCounterPath == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    scripted::ParsedPath parsed;
    if (!scripted::parsePath(path, &parsed)) {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
    }
    const scripted::Object* object = scripted::findObject(parsed.object);
    if (object == nullptr) {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT);
    }
    if (std::count(object->counters.begin(), object->counters.end(), parsed.counter) == 0) {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER);
    }
    auto refusal = script().refusals.find(scripted::normalized(parsed));
    if (refusal != script().refusals.end()) {
        return refusal->second;
    }
    script().counters.push_back(scripted::Counter{query, path, parsed, dwUserData});
    query->counters++;
    *phCounter = &script().counters.back();
    script().accepted.push_back(path);
    return 0;
}

PDH_STATUS PdhCollectQueryData(PDH_HQUERY hQuery)
{
    scripted::internal::recordEvent("PdhCollectQueryData");
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::COLLECT_QUERY_DATA, &status)) {
        return status;
    }
    scripted::Query* query = scripted::findQuery(hQuery);
    if (query == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (query->counters == 0) {
        return static_cast<PDH_STATUS>(PDH_NO_DATA);
    }
    query->collections++;
    return 0;
}

PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER hCounter, DWORD dwFormat, LPDWORD lpdwType,
                                       PPDH_FMT_COUNTERVALUE pValue)
{
    scripted::Counter* counter = scripted::findCounter(hCounter);
    scripted::internal::recordEvent("PdhGetFormattedCounterValue " +
                                    (counter != nullptr ? counter->path : std::string("?")));
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::GET_FORMATTED_VALUE, &status)) {
        return status;
    }
    if (counter == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (pValue == nullptr || (dwFormat != PDH_FMT_LONG && dwFormat != PDH_FMT_DOUBLE)) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    int collections = counter->query->collections;
    if (collections == 0 || (collections < 2 && scripted::isTwoSample(counter->parsed))) {
        return scripted::failFetch(pValue, PDH_CSTATUS_INVALID_DATA,
                                   static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    }
    if (!scripted::instanceExists(counter->parsed)) {
        return scripted::failFetch(pValue, PDH_CSTATUS_NO_INSTANCE,
                                   static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    }
    LONG longValue = 0;
    double real = 0.0;
    auto values = script().values.find(scripted::normalized(counter->parsed));
    if (values != script().values.end() && !values->second.empty()) {
        size_t last = values->second.size();
        const scripted::Fetch& fetch =
            values->second[std::min(static_cast<size_t>(collections), last) - 1];
        if (fetch.status != 0) {
            return scripted::failFetch(pValue, PDH_CSTATUS_INVALID_DATA, fetch.status);
        }
        longValue = fetch.value;
        real = fetch.real;
    }
    if (lpdwType != nullptr) {
        *lpdwType = 0;
    }
    pValue->CStatus = PDH_CSTATUS_VALID_DATA;
    if (dwFormat == PDH_FMT_DOUBLE) {
        pValue->doubleValue = real;
    } else {
        pValue->longValue = longValue;
    }
    return 0;
}

PDH_STATUS PdhCloseQuery(PDH_HQUERY hQuery)
{
    scripted::internal::recordEvent("PdhCloseQuery");
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::CLOSE_QUERY, &status)) {
        return status;
    }
    scripted::Query* query = scripted::findQuery(hQuery);
    if (query == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    query->open = false;
    return 0;
}

PDH_STATUS PdhGetCounterInfoA(PDH_HCOUNTER hCounter, BOOLEAN bRetrieveExplainText,
                              LPDWORD pdwBufferSize, PPDH_COUNTER_INFO_A lpBuffer)
{
    (void)bRetrieveExplainText;
    scripted::Counter* counter = scripted::findCounter(hCounter);
    scripted::internal::recordEvent("PdhGetCounterInfoA " +
                                    (counter != nullptr ? counter->path : std::string("?")));
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::GET_COUNTER_INFO, &status)) {
        return status;
    }
    if (counter == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (pdwBufferSize == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    // The record, then its strings: path, machine, object, instance, counter.
    const scripted::ParsedPath& parsed = counter->parsed;
    const std::string machine = "\\\\TESTHOST";
    const std::string* strings[] = {&counter->path, &machine, &parsed.object, &parsed.instance,
                                    &parsed.counter};
    size_t needed = sizeof(PDH_COUNTER_INFO_A);
    for (const std::string* text : strings) {
        needed += text->size() + 1;
    }
    if (lpBuffer == nullptr || *pdwBufferSize < needed) {
        *pdwBufferSize = static_cast<DWORD>(needed);
        return static_cast<PDH_STATUS>(PDH_MORE_DATA);
    }
    memset(lpBuffer, 0, needed);
    char* text = reinterpret_cast<char*>(lpBuffer) + sizeof(PDH_COUNTER_INFO_A);
    LPSTR copies[5];
    for (size_t i = 0; i < 5; ++i) {
        memcpy(text, strings[i]->c_str(), strings[i]->size() + 1);
        copies[i] = text;
        text += strings[i]->size() + 1;
    }
    lpBuffer->dwLength = static_cast<DWORD>(needed);
    lpBuffer->dwType = scripted::counterType(parsed);
    lpBuffer->CVersion = 0x00000601;
    lpBuffer->CStatus = PDH_CSTATUS_VALID_DATA;
    lpBuffer->dwUserData = counter->userData;
    lpBuffer->szFullPath = copies[0];
    lpBuffer->szMachineName = copies[1];
    lpBuffer->szObjectName = copies[2];
    lpBuffer->szInstanceName = parsed.hasInstance ? copies[3] : nullptr;
    lpBuffer->dwInstanceIndex = static_cast<DWORD>(parsed.index);
    lpBuffer->szCounterName = copies[4];
    *pdwBufferSize = static_cast<DWORD>(needed);
    return 0;
}

PDH_STATUS PdhGetRawCounterValue(PDH_HCOUNTER hCounter, LPDWORD lpdwType, PPDH_RAW_COUNTER pValue)
{
    scripted::Counter* counter = scripted::findCounter(hCounter);
    scripted::internal::recordEvent("PdhGetRawCounterValue " +
                                    (counter != nullptr ? counter->path : std::string("?")));
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::GET_RAW_VALUE, &status)) {
        return status;
    }
    if (counter == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (pValue == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    if (lpdwType != nullptr) {
        *lpdwType = scripted::counterType(counter->parsed);
    }
    memset(pValue, 0, sizeof(*pValue));
    int collections = counter->query->collections;
    if (collections == 0) {
        pValue->CStatus = PDH_CSTATUS_INVALID_DATA;
        return static_cast<PDH_STATUS>(PDH_INVALID_DATA);
    }
    if (!scripted::instanceExists(counter->parsed)) {
        pValue->CStatus = PDH_CSTATUS_NO_INSTANCE;
        return static_cast<PDH_STATUS>(PDH_INVALID_DATA);
    }
    LONGLONG time = scripted::collectionTime(collections);
    // A FILETIME counts 100 ns units from 1601, 11,644,473,600 s before the Unix epoch.
    uint64_t fileTime = static_cast<uint64_t>(time) + 11644473600ULL * 10000000ULL;
    pValue->TimeStamp.dwLowDateTime = static_cast<DWORD>(fileTime);
    pValue->TimeStamp.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    const std::string key = scripted::normalized(counter->parsed);
    auto raws = script().raws.find(key);
    if (raws != script().raws.end() && !raws->second.empty()) {
        const scripted::Raw& sample =
            raws->second[std::min(static_cast<size_t>(collections), raws->second.size()) - 1];
        if (sample.status != 0) {
            pValue->CStatus = PDH_CSTATUS_INVALID_DATA;
            return sample.status;
        }
        pValue->FirstValue = sample.first;
        pValue->SecondValue = sample.second;
        pValue->MultiCount = sample.multiCount;
        pValue->CStatus = PDH_CSTATUS_VALID_DATA;
        return 0;
    }
    // No raw script: the formatted value stands in for the count.
    auto values = script().values.find(key);
    if (values != script().values.end() && !values->second.empty()) {
        const scripted::Fetch& fetch =
            values->second[std::min(static_cast<size_t>(collections), values->second.size()) - 1];
        if (fetch.status != 0) {
            pValue->CStatus = PDH_CSTATUS_INVALID_DATA;
            return fetch.status;
        }
        double whole = std::trunc(fetch.real);
        pValue->FirstValue = whole >= 9.2e18 ? INT64_MAX
                             : whole <= -9.2e18 ? INT64_MIN
                             : std::isnan(whole) ? 0
                                                 : static_cast<LONGLONG>(whole);
    }
    pValue->SecondValue = time;
    pValue->MultiCount = 1;
    pValue->CStatus = PDH_CSTATUS_VALID_DATA;
    return 0;
}

PDH_STATUS PdhGetCounterTimeBase(PDH_HCOUNTER hCounter, LONGLONG* pTimeBase)
{
    scripted::Counter* counter = scripted::findCounter(hCounter);
    scripted::internal::recordEvent("PdhGetCounterTimeBase " +
                                    (counter != nullptr ? counter->path : std::string("?")));
    PDH_STATUS status = 0;
    if (scripted::scriptedAnswer(scripted::GET_TIME_BASE, &status)) {
        return status;
    }
    if (counter == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_HANDLE);
    }
    if (pTimeBase == nullptr) {
        return static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    }
    *pTimeBase = scripted::TIME_BASE;
    return 0;
}

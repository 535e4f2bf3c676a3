// Queries over the Linux objects: PdhOpenQueryA, PdhAddCounterA,
// PdhCollectQueryData, PdhGetFormattedCounterValue, PdhCloseQuery.
//
// A query keeps, per object that its counters name, the latest sample of all
// the object's instances and the one before it; a collection takes a new one
// and finds every counter's instance (name and index) in it again, so that a
// path follows the n-th instance of its name, and a two-sample value is
// refused when that is no longer the instance of the previous collection.
// A counter holds no reading of its own: its values are looked up in the two
// samples when fetched, which keeps a counter small on a machine of hundreds
// of thousands of them.
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/linux/counter_path.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"
#include "platform/linux/sample_math.h"
#include "platform/pdh_api.h"

namespace {

// An instance as counter paths name it.  The counters of one instance share
// one, so that each collection looks an instance up once, not once per
// counter, and a counter does not carry a copy of the name.
struct InstanceKey {
    std::string name;
    int index;
    size_t position;          // in the latest sample; NO_POSITION when not there
    size_t previousPosition;  // in the sample before it
};

const size_t NO_POSITION = static_cast<size_t>(-1);
const uint32_t NO_KEY = static_cast<uint32_t>(-1);

struct ObjectState {
    const PerfObject* object;
    unsigned sources;  // what the query's counters of this object need
    bool sampled;
    ObjectSample latest;
    ObjectSample previous;  // of the collection before `latest`
    std::vector<InstanceKey> keys;  // of its counters with an instance
    std::vector<int64_t> carriedTotal;  // per counter, for totalFollowsChurn
};

struct LinuxQuery;

struct LinuxCounter {
    LinuxQuery* query;
    uint32_t state;  // index into the query's objects
    int32_t counter;
    uint32_t key;  // into the state's keys; NO_KEY for a path without instance
    int32_t collections;  // of the query since the counter was added
};

// Counters are kept in blocks that never move, so that a counter's handle can
// be its record's address; a block per counter, or a set of every handle,
// cost more than the rest of adding a counter.
const size_t COUNTER_BLOCK = 256;

struct CounterBlock {
    std::unique_ptr<LinuxCounter[]> records;
    size_t used;
};

struct LinuxQuery {
    std::vector<CounterBlock> blocks;
    size_t counterCount = 0;
    std::vector<ObjectState> objects;
};

// Handles are the records' addresses; only those handed out and not yet
// closed are accepted, each as what it is.
std::unordered_set<const void*> liveQueries;

struct BlockOwner {
    LinuxQuery* query;
    size_t block;
};
std::map<uintptr_t, BlockOwner> liveBlocks;  // by the address of each block's first record

// The query a counter was added to last: a program adds all its counters to
// one query, and looking it up in the set for each showed.  Forgotten when a
// query closes.
const void* lastLiveQuery = nullptr;

bool isLiveQuery(const void* handle)
{
    if (handle && handle == lastLiveQuery) {
        return true;
    }
    if (!handle || liveQueries.count(handle) == 0) {
        return false;
    }
    lastLiveQuery = handle;
    return true;
}

LinuxCounter& newCounter(LinuxQuery& query)
{
    if (query.blocks.empty() || query.blocks.back().used == COUNTER_BLOCK) {
        LinuxCounter* records = new LinuxCounter[COUNTER_BLOCK];
        query.blocks.emplace_back();
        query.blocks.back().records.reset(records);
        query.blocks.back().used = 0;
        liveBlocks[reinterpret_cast<uintptr_t>(records)] = BlockOwner{&query, query.blocks.size() - 1};
    }
    CounterBlock& block = query.blocks.back();
    ++query.counterCount;
    return block.records[block.used++];
}

// The block of the handle fetched last: a program fetches its counters in the
// order it added them, so most handles fall in the block of the one before,
// found without a look in the map.  Forgotten when a query closes.
struct KnownBlock {
    uintptr_t first;  // 0: none
    BlockOwner owner;  // by index: the query's vector of blocks grows
};
KnownBlock lastBlock = {0, BlockOwner{nullptr, 0}};

// The counter whose handle this is, or null when it is none handed out, or
// its query is closed.
LinuxCounter* liveCounter(const void* handle)
{
    uintptr_t address = reinterpret_cast<uintptr_t>(handle);
    if (!handle) {
        return nullptr;
    }
    if (lastBlock.first == 0 || address < lastBlock.first ||
        address - lastBlock.first >= COUNTER_BLOCK * sizeof(LinuxCounter)) {
        auto after = liveBlocks.upper_bound(address);
        if (after == liveBlocks.begin()) {
            return nullptr;
        }
        --after;
        lastBlock = KnownBlock{after->first, after->second};
    }
    const CounterBlock& block = lastBlock.owner.query->blocks[lastBlock.owner.block];
    uintptr_t offset = address - lastBlock.first;
    if (offset % sizeof(LinuxCounter) != 0 || offset / sizeof(LinuxCounter) >= block.used) {
        return nullptr;
    }
    return &block.records[offset / sizeof(LinuxCounter)];
}

PDH_STATUS status(DWORD value)
{
    return static_cast<PDH_STATUS>(value);
}

bool isTwoSample(CounterKind kind)
{
    return kind != KIND_VALUE && kind != KIND_FRACTION && kind != KIND_ELAPSED;
}

// The program adds the counters of one instance one after another, in the
// object's order: a path most often starts like the one before, and names the
// counter that follows the one before.  So the parse of that start is kept,
// and the next counter is looked at first.
struct ParsedPrefix {
    std::string text;          // the path up to and with its last backslash
    CounterPath path;
    const PerfObject* object;  // null: nothing kept
    int counterHint;
};

ParsedPrefix lastPrefix = {std::string(), CounterPath(), nullptr, 0};

size_t stateFor(LinuxQuery& query, const PerfObject* object)
{
    for (size_t i = 0; i < query.objects.size(); ++i) {
        if (query.objects[i].object == object) {
            return i;
        }
    }
    ObjectState state;
    state.object = object;
    state.sources = 0;
    state.sampled = false;
    state.latest.timeNs = 0;
    state.previous.timeNs = 0;
    state.carriedTotal.assign(static_cast<size_t>(object->counterCount), 0);
    query.objects.push_back(std::move(state));
    return query.objects.size() - 1;
}

// Rewrites the "_Total" of the two-sample counters of `fresh` as the previous
// total plus what every instance added since the previous sample: its whole
// count when it is new, its growth when it was there before.  What processes
// that ended in between had added is lost either way; summing the raw counts
// instead would make the total fall each time one ends.
void carryTotals(ObjectState& state, ObjectSample& fresh)
{
    const PerfObject& object = *state.object;
    if (!object.totalFollowsChurn || fresh.instances.empty() || !fresh.instances.back().isTotal) {
        return;
    }
    InstanceSample& total = fresh.instances.back();
    size_t members = fresh.instances.size() - 1;
    std::unordered_map<uint64_t, size_t> before;
    if (state.sampled) {
        for (size_t j = 0; j < state.latest.instances.size(); ++j) {
            if (!state.latest.instances[j].isTotal) {
                before.emplace(state.latest.instances[j].identity.first, j);
            }
        }
    }
    for (int c = 0; c < object.counterCount; ++c) {
        size_t column = static_cast<size_t>(c);
        RawValue& sum = total.values[column];
        if (!isTwoSample(object.counters[c].kind) || !sum.valid) {
            continue;
        }
        if (!state.sampled) {
            state.carriedTotal[column] = sum.a;
            continue;
        }
        int64_t added = 0;
        for (size_t i = 0; i < members; ++i) {
            const InstanceSample& instance = fresh.instances[i];
            if (!instance.values[column].valid) {
                continue;  // not in the total, so nothing it added is either
            }
            int64_t now = instance.values[column].a;
            auto found = before.find(instance.identity.first);
            if (found != before.end()) {
                const InstanceSample& old = state.latest.instances[found->second];
                const RawValue& then = old.values[column];
                if (old.identity.second == instance.identity.second && then.valid) {
                    added += now > then.a ? now - then.a : 0;
                    continue;
                }
            }
            added += now;
        }
        state.carriedTotal[column] += added;
        sum.a = state.carriedTotal[column];
    }
}

void takeSample(ObjectState& state)
{
    ObjectSample fresh;
    // Whole units of the raw samples' time base, so that PDH's formula over
    // the raw samples gives exactly the values formatted here.
    fresh.timeNs = sampleClockNanoseconds();
    fresh.timeNs -= fresh.timeNs % (1000000000 / RAW_TIME_BASE);
    state.object->sample(state.sources, fresh);
    carryTotals(state, fresh);
    state.previous = std::move(state.latest);
    state.latest = std::move(fresh);
    state.sampled = true;
    for (InstanceKey& key : state.keys) {
        key.previousPosition = key.position;
    }
    if (state.keys.empty()) {
        return;
    }
    // The positions of each name's instances, in sample order, one run per
    // name in `positions`: views of the names and one flat array, rather
    // than a copied name and a vector per instance on every collection.
    const std::vector<InstanceSample>& instances = state.latest.instances;
    struct Run {
        size_t start;
        size_t count;
    };
    std::unordered_map<std::string_view, Run> byName;
    byName.reserve(instances.size());
    for (const InstanceSample& instance : instances) {
        ++byName[instance.name].count;
    }
    size_t start = 0;
    for (auto& entry : byName) {
        entry.second.start = start;
        start += entry.second.count;
        entry.second.count = 0;
    }
    std::vector<size_t> positions(instances.size());
    for (size_t i = 0; i < instances.size(); ++i) {
        Run& run = byName[instances[i].name];
        positions[run.start + run.count++] = i;
    }
    for (InstanceKey& key : state.keys) {
        auto found = byName.find(key.name);
        bool there = found != byName.end() && static_cast<size_t>(key.index) < found->second.count;
        key.position =
            there ? positions[found->second.start + static_cast<size_t>(key.index)] : NO_POSITION;
    }
}

// A collection that ran out of descriptors or memory read only part of what
// is there: nothing of it is kept, and every counter starts again as if just
// added, so that its fetch fails until collections succeed again rather than
// showing the unread instances as vanished ones.
void forgetSamples(LinuxQuery& query)
{
    for (ObjectState& state : query.objects) {
        state.sampled = false;
        state.latest.instances.clear();
        state.previous.instances.clear();
        for (InstanceKey& key : state.keys) {
            key.position = NO_POSITION;
            key.previousPosition = NO_POSITION;
        }
    }
    for (CounterBlock& block : query.blocks) {
        for (size_t i = 0; i < block.used; ++i) {
            block.records[i].collections = 0;
        }
    }
}

// The counter's reading in `sample`, whose instance of the counter's path is
// at `position` (a path without instance reads the sample's only instance).
CounterReading readingIn(const LinuxCounter& counter, const ObjectSample& sample, size_t position)
{
    CounterReading reading = {false, InstanceIdentity{0, 0}, RawValue{0, 0, false}, sample.timeNs};
    const InstanceSample* instance = nullptr;
    if (counter.key == NO_KEY) {
        if (!sample.instances.empty()) {
            instance = &sample.instances.front();
        }
    } else if (position != NO_POSITION) {
        instance = &sample.instances[position];
    }
    if (instance) {
        reading.present = true;
        reading.identity = instance->identity;
        reading.raw = instance->values[static_cast<size_t>(counter.counter)];
    }
    return reading;
}

} // namespace

PDH_STATUS PdhOpenQueryA(LPCSTR szDataSource, DWORD_PTR dwUserData, PDH_HQUERY* phQuery)
{
    (void)dwUserData;
    if (!phQuery || (szDataSource && szDataSource[0] != '\0')) {
        // Live data only: there are no log files to read here.
        return status(PDH_INVALID_ARGUMENT);
    }
    LinuxQuery* query = new LinuxQuery();
    liveQueries.insert(query);
    *phQuery = query;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhAddCounterA(PDH_HQUERY hQuery, LPCSTR szFullCounterPath, DWORD_PTR dwUserData,
                          PDH_HCOUNTER* phCounter)
{
    (void)dwUserData;
    if (!isLiveQuery(hQuery)) {
        return status(PDH_INVALID_HANDLE);
    }
    if (!szFullCounterPath || !phCounter) {
        return status(PDH_INVALID_ARGUMENT);
    }
    CounterPath& path = lastPrefix.path;
    const char* counterName = strrchr(szFullCounterPath, '\\');
    size_t prefixLength = counterName ? static_cast<size_t>(counterName - szFullCounterPath) + 1 : 0;
    bool samePrefix = lastPrefix.object && counterName && counterName[1] != '\0' &&
                      lastPrefix.text.size() == prefixLength &&
                      memcmp(lastPrefix.text.data(), szFullCounterPath, prefixLength) == 0;
    // The counter's name, read in place when the start is the one before.
    const char* counterText = counterName ? counterName + 1 : nullptr;
    if (!samePrefix) {
        lastPrefix.object = nullptr;
        PDH_STATUS parsed = parseCounterPath(szFullCounterPath, path);
        if (parsed != ERROR_SUCCESS) {
            return parsed;
        }
        lastPrefix.object = findPerfObject(path.object);
        if (!lastPrefix.object) {
            return status(PDH_CSTATUS_NO_OBJECT);
        }
        // A well-formed path's counter name follows its last backslash.
        lastPrefix.text.assign(szFullCounterPath, prefixLength);
        counterText = path.counter.c_str();
    }
    const PerfObject* object = lastPrefix.object;
    int counterIndex = findCounter(object, counterText, lastPrefix.counterHint);
    if (counterIndex < 0) {
        return status(PDH_CSTATUS_NO_COUNTER);
    }
    lastPrefix.counterHint = counterIndex + 1;
    if (path.hasInstance != object->hasInstances) {
        // An instance named for an object without instances, or none for one
        // that has them.
        return status(PDH_CSTATUS_NO_INSTANCE);
    }
    LinuxQuery* query = static_cast<LinuxQuery*>(hQuery);
    uint32_t state = static_cast<uint32_t>(stateFor(*query, object));
    ObjectState& objectState = query->objects[state];
    objectState.sources |= object->counters[counterIndex].sources;
    uint32_t key = NO_KEY;
    if (path.hasInstance) {
        // The counters of one instance come one after another.
        std::vector<InstanceKey>& keys = objectState.keys;
        if (keys.empty() || keys.back().index != path.instanceIndex ||
            keys.back().name != path.instance) {
            keys.push_back(InstanceKey{path.instance, path.instanceIndex, NO_POSITION, NO_POSITION});
        }
        key = static_cast<uint32_t>(keys.size() - 1);
    }
    LinuxCounter& counter = newCounter(*query);
    counter.query = query;
    counter.state = state;
    counter.counter = counterIndex;
    counter.key = key;
    counter.collections = 0;
    *phCounter = &counter;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhCollectQueryData(PDH_HQUERY hQuery)
{
    if (!isLiveQuery(hQuery)) {
        return status(PDH_INVALID_HANDLE);
    }
    LinuxQuery* query = static_cast<LinuxQuery*>(hQuery);
    if (query->counterCount == 0) {
        return status(PDH_NO_DATA);
    }
    beginCollection();
    clearExhaustion();
    for (ObjectState& state : query->objects) {
        takeSample(state);
    }
    if (exhaustionNoted()) {
        forgetSamples(*query);
        return status(PDH_MEMORY_ALLOCATION_FAILURE);
    }
    for (CounterBlock& block : query->blocks) {
        for (size_t i = 0; i < block.used; ++i) {
            ++block.records[i].collections;
        }
    }
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER hCounter, DWORD dwFormat, LPDWORD lpdwType,
                                       PPDH_FMT_COUNTERVALUE pValue)
{
    const LinuxCounter* live = liveCounter(hCounter);
    if (!live) {
        return status(PDH_INVALID_HANDLE);
    }
    DWORD format = dwFormat & (PDH_FMT_LONG | PDH_FMT_DOUBLE | PDH_FMT_LARGE);
    if (!pValue || (format != PDH_FMT_LONG && format != PDH_FMT_DOUBLE && format != PDH_FMT_LARGE)) {
        return status(PDH_INVALID_ARGUMENT);
    }
    const LinuxCounter& counter = *live;
    const ObjectState& state = counter.query->objects[counter.state];
    const CounterDef& def = state.object->counters[counter.counter];
    if (lpdwType) {
        *lpdwType = counterTypeOf(def.kind);
    }
    pValue->largeValue = 0;
    if (counter.collections == 0) {
        pValue->CStatus = PDH_CSTATUS_INVALID_DATA;
        return status(PDH_INVALID_DATA);
    }
    // A counter added after a collection has no reading of the one before.
    const InstanceKey* key = counter.key != NO_KEY ? &state.keys[counter.key] : nullptr;
    CounterReading latest =
        readingIn(counter, state.latest, key ? key->position : NO_POSITION);
    CounterReading previous = {false, InstanceIdentity{0, 0}, RawValue{0, 0, false}, 0};
    if (counter.collections >= 2) {
        previous = readingIn(counter, state.previous, key ? key->previousPosition : NO_POSITION);
    }
    ComputedValue value = computeCounterValue(def, previous, latest,
                                              (dwFormat & PDH_FMT_NOCAP100) != 0);
    pValue->CStatus = value.status;
    if (value.status != PDH_CSTATUS_VALID_DATA) {
        return status(PDH_INVALID_DATA);
    }
    if (dwFormat & PDH_FMT_1000) {
        value.real = toDoubleValue(value) * 1000.0;
        value.isInteger = false;
    }
    if (format == PDH_FMT_LONG) {
        pValue->longValue = toLongValue(value);
    } else if (format == PDH_FMT_LARGE) {
        pValue->largeValue = toLargeValue(value);
    } else {
        pValue->doubleValue = toDoubleValue(value);
    }
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetCounterInfoA(PDH_HCOUNTER hCounter, BOOLEAN bRetrieveExplainText,
                              LPDWORD pdwBufferSize, PPDH_COUNTER_INFO_A lpBuffer)
{
    (void)bRetrieveExplainText;
    const LinuxCounter* live = liveCounter(hCounter);
    if (!live) {
        return status(PDH_INVALID_HANDLE);
    }
    if (!pdwBufferSize) {
        return status(PDH_INVALID_ARGUMENT);
    }
    const ObjectState& state = live->query->objects[live->state];
    const CounterDef& def = state.object->counters[live->counter];
    const InstanceKey* key = live->key != NO_KEY ? &state.keys[live->key] : nullptr;
    // The record, then its strings: object, instance and counter.
    const char* object = state.object->name;
    const char* instance = key ? key->name.c_str() : nullptr;
    size_t needed = sizeof(PDH_COUNTER_INFO_A) + strlen(object) + 1 +
                    (instance ? strlen(instance) + 1 : 0) + strlen(def.name) + 1;
    if (!lpBuffer || *pdwBufferSize < needed) {
        *pdwBufferSize = static_cast<DWORD>(needed);
        return status(PDH_MORE_DATA);
    }
    memset(lpBuffer, 0, sizeof(PDH_COUNTER_INFO_A));
    char* text = reinterpret_cast<char*>(lpBuffer) + sizeof(PDH_COUNTER_INFO_A);
    auto place = [&text](const char* from) {
        char* at = text;
        size_t length = strlen(from) + 1;
        memcpy(at, from, length);
        text += length;
        return at;
    };
    lpBuffer->dwLength = static_cast<DWORD>(needed);
    lpBuffer->dwType = counterTypeOf(def.kind);
    lpBuffer->CStatus = PDH_CSTATUS_VALID_DATA;
    lpBuffer->szObjectName = place(object);
    lpBuffer->szInstanceName = instance ? place(instance) : nullptr;
    lpBuffer->dwInstanceIndex = key ? static_cast<DWORD>(key->index) : 0;
    lpBuffer->szCounterName = place(def.name);
    *pdwBufferSize = static_cast<DWORD>(needed);
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetRawCounterValue(PDH_HCOUNTER hCounter, LPDWORD lpdwType, PPDH_RAW_COUNTER pValue)
{
    const LinuxCounter* live = liveCounter(hCounter);
    if (!live) {
        return status(PDH_INVALID_HANDLE);
    }
    if (!pValue) {
        return status(PDH_INVALID_ARGUMENT);
    }
    const LinuxCounter& counter = *live;
    const ObjectState& state = counter.query->objects[counter.state];
    const CounterDef& def = state.object->counters[counter.counter];
    if (lpdwType) {
        *lpdwType = counterTypeOf(def.kind);
    }
    memset(pValue, 0, sizeof(*pValue));
    if (counter.collections == 0) {
        pValue->CStatus = PDH_CSTATUS_INVALID_DATA;
        return status(PDH_INVALID_DATA);
    }
    const InstanceKey* key = counter.key != NO_KEY ? &state.keys[counter.key] : nullptr;
    CounterReading latest = readingIn(counter, state.latest, key ? key->position : NO_POSITION);
    RawCounterPair pair = rawCounterPair(def, latest, unixNanosecondsOf(latest.timeNs));
    pValue->CStatus = pair.status;
    if (pair.status != PDH_CSTATUS_VALID_DATA) {
        return status(PDH_INVALID_DATA);
    }
    pValue->FirstValue = pair.first;
    pValue->SecondValue = pair.second;
    pValue->MultiCount = 1;
    uint64_t fileTime = static_cast<uint64_t>(pair.wallTime);
    pValue->TimeStamp.dwLowDateTime = static_cast<DWORD>(fileTime);
    pValue->TimeStamp.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    return ERROR_SUCCESS;
}

PDH_STATUS PdhGetCounterTimeBase(PDH_HCOUNTER hCounter, LONGLONG* pTimeBase)
{
    if (!liveCounter(hCounter)) {
        return status(PDH_INVALID_HANDLE);
    }
    if (!pTimeBase) {
        return status(PDH_INVALID_ARGUMENT);
    }
    *pTimeBase = RAW_TIME_BASE;
    return ERROR_SUCCESS;
}

PDH_STATUS PdhCloseQuery(PDH_HQUERY hQuery)
{
    if (!isLiveQuery(hQuery)) {
        return status(PDH_INVALID_HANDLE);
    }
    LinuxQuery* query = static_cast<LinuxQuery*>(hQuery);
    for (const CounterBlock& block : query->blocks) {
        liveBlocks.erase(reinterpret_cast<uintptr_t>(block.records.get()));
    }
    lastBlock = KnownBlock{0, BlockOwner{nullptr, 0}};
    liveQueries.erase(query);
    lastLiveQuery = nullptr;
    delete query;
    return ERROR_SUCCESS;
}

// The table of objects and what their sample functions share.
#include <cstring>

#include "platform/linux/perf_objects.h"

const PerfObject* const perfObjects[] = {
    &processorObject,    &processObject,       &threadObject,
    &memoryObject,       &systemObject,        &physicalDiskObject,
    &logicalDiskObject,  &networkInterfaceObject, &pagingFileObject,
    &processorInformationObject, &tcp4Object,  &tcp6Object,
    &udp4Object,         &udp6Object,          &ip4Object,
    &ip6Object,          &cacheObject,
};
const int perfObjectCount = static_cast<int>(sizeof perfObjects / sizeof perfObjects[0]);

const PerfObject* findPerfObject(const std::string& name)
{
    for (const PerfObject* object : perfObjects) {
        if (strcmp(name.c_str(), object->name) == 0) {
            return object;
        }
    }
    return nullptr;
}

int findCounter(const PerfObject* object, const char* name, int hint)
{
    if (hint >= 0 && hint < object->counterCount &&
        strcmp(name, object->counters[hint].name) == 0) {
        return hint;
    }
    for (int i = 0; i < object->counterCount; ++i) {
        if (strcmp(name, object->counters[i].name) == 0) {
            return i;
        }
    }
    return -1;
}

InstanceSample& addNamedInstance(ObjectSample& sample, std::string name)
{
    sample.instances.emplace_back();
    InstanceSample& instance = sample.instances.back();
    instance.name = std::move(name);
    instance.identity = InstanceIdentity{0, 0};
    instance.isTotal = false;
    return instance;
}

InstanceSample& addInstance(ObjectSample& sample, const PerfObject& object, std::string name,
                            InstanceIdentity identity)
{
    InstanceSample& instance = addNamedInstance(sample, std::move(name));
    instance.identity = identity;
    instance.values.assign(static_cast<size_t>(object.counterCount), RawValue{0, 0, false});
    return instance;
}

void setValue(InstanceSample& instance, int counter, int64_t a, int64_t b)
{
    instance.values[static_cast<size_t>(counter)] = RawValue{a, b, true};
}

void appendTotal(ObjectSample& sample, const PerfObject& object)
{
    size_t members = sample.instances.size();
    InstanceSample& total = addInstance(sample, object, "_Total", InstanceIdentity{~0ull, ~0ull});
    total.isTotal = true;
    for (int c = 0; c < object.counterCount; ++c) {
        const CounterDef& def = object.counters[c];
        if (def.total == TOTAL_NONE || def.kind == KIND_ELAPSED) {
            continue;
        }
        // The sum of the instances whose figure could be read, as Windows sums
        // the instances there are: one process whose io file is closed to us
        // does not take the figure of all the others with it.
        RawValue sum = {0, 0, members == 0};
        for (size_t i = 0; i < members; ++i) {
            const RawValue& value = sample.instances[i].values[static_cast<size_t>(c)];
            if (!value.valid) {
                continue;
            }
            sum.valid = true;
            sum.a += value.a;
            if (def.total == TOTAL_SUM) {
                sum.b += value.b;
            } else {
                sum.b = value.b;
            }
        }
        if (def.total == TOTAL_SUM_SHARED && members == 0) {
            sum.b = sample.timeNs;
        }
        total.values[static_cast<size_t>(c)] = sum;
    }
}

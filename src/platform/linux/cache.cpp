// Cache: no instances; the dirty pages of the page cache from /proc/vmstat.
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_VMSTAT = 1 };

enum { DIRTY_PAGES, DIRTY_THRESHOLD };

const CounterDef counters[] = {
    {"Dirty Pages", KIND_VALUE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
    {"Dirty Page Threshold", KIND_VALUE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
};

void sampleCache(unsigned sources, ObjectSample& sample)
{
    InstanceSample& instance = addInstance(sample, cacheObject, "", InstanceIdentity{0, 0});
    const std::string* text = (sources & SOURCE_VMSTAT) ? procFile(PROC_VMSTAT) : nullptr;
    if (!text) {
        return;
    }
    static const char* const keys[] = {"nr_dirty ", "nr_dirty_threshold "};
    uint64_t value[2] = {0, 0};
    bool found[2];
    scanKeyedNumbers(text->c_str(), keys, 2, value, found);
    for (int i = 0; i < 2; ++i) {
        if (found[i]) {
            setValue(instance, i, toSigned(value[i]));
        }
    }
}

} // namespace

const PerfObject cacheObject = {
    "Cache", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,   false,    sampleCache,
};

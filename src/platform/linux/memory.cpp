// Memory: no instances; /proc/meminfo (in kB) and /proc/vmstat.
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_MEMINFO = 1, SOURCE_VMSTAT = 2 };

enum {
    AVAILABLE_BYTES,
    AVAILABLE_KBYTES,
    AVAILABLE_MBYTES,
    COMMITTED_BYTES,
    COMMIT_LIMIT,
    COMMITTED_IN_USE,
    CACHE_BYTES,
    FREE_BYTES,
    PAGE_FAULTS,
    PAGES_INPUT,
    PAGES_OUTPUT,
    PAGES,
    PAGE_READS
};

const CounterDef counters[] = {
    {"Available Bytes", KIND_VALUE, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    {"Available KBytes", KIND_VALUE, SOURCE_MEMINFO, 1.0 / 1024, TOTAL_NONE},
    {"Available MBytes", KIND_VALUE, SOURCE_MEMINFO, 1.0 / (1024 * 1024), TOTAL_NONE},
    {"Committed Bytes", KIND_VALUE, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    // Windows counts memory plus paging files.
    {"Commit Limit", KIND_VALUE, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    {"% Committed Bytes In Use", KIND_FRACTION, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    {"Cache Bytes", KIND_VALUE, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    {"Free & Zero Page List Bytes", KIND_VALUE, SOURCE_MEMINFO, 1.0, TOTAL_NONE},
    {"Page Faults/sec", KIND_RATE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
    {"Pages Input/sec", KIND_RATE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
    {"Pages Output/sec", KIND_RATE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
    {"Pages/sec", KIND_RATE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
    // One read operation per hard fault.
    {"Page Reads/sec", KIND_RATE, SOURCE_VMSTAT, 1.0, TOTAL_NONE},
};

int64_t kilobytes(uint64_t value)
{
    return toSigned(value) * 1024;
}

void readMeminfo(InstanceSample& instance)
{
    const std::string* text = procFile(PROC_MEMINFO);
    if (!text) {
        return;
    }
    static const char* const keys[] = {"MemAvailable:", "Committed_AS:", "MemTotal:",
                                       "SwapTotal:",    "Cached:",       "Buffers:",
                                       "MemFree:",      "Shmem:"};
    enum { AVAILABLE, COMMITTED, TOTAL, SWAP, CACHED, BUFFERS, FREE, SHMEM, KEYS };
    uint64_t value[KEYS] = {0};
    bool found[KEYS];
    scanKeyedNumbers(text->c_str(), keys, KEYS, value, found);
    if (found[AVAILABLE]) {
        int64_t available = kilobytes(value[AVAILABLE]);
        setValue(instance, AVAILABLE_BYTES, available);
        setValue(instance, AVAILABLE_KBYTES, available);
        setValue(instance, AVAILABLE_MBYTES, available);
    }
    bool haveLimit = found[TOTAL] && found[SWAP];
    int64_t limit = kilobytes(value[TOTAL]) + kilobytes(value[SWAP]);
    if (found[COMMITTED]) {
        setValue(instance, COMMITTED_BYTES, kilobytes(value[COMMITTED]));
    }
    if (haveLimit) {
        setValue(instance, COMMIT_LIMIT, limit);
    }
    if (found[COMMITTED] && haveLimit) {
        setValue(instance, COMMITTED_IN_USE, kilobytes(value[COMMITTED]), limit);
    }
    if (found[CACHED] && found[BUFFERS] && found[SHMEM]) {
        // tmpfs and shared memory count in Cached, but are no file cache.
        int64_t cache = kilobytes(value[CACHED]) + kilobytes(value[BUFFERS]) -
                        kilobytes(value[SHMEM]);
        setValue(instance, CACHE_BYTES, cache > 0 ? cache : 0);
    }
    if (found[FREE]) {
        setValue(instance, FREE_BYTES, kilobytes(value[FREE]));
    }
}

void readVmstat(InstanceSample& instance)
{
    const std::string* text = procFile(PROC_VMSTAT);
    if (!text) {
        return;
    }
    static const char* const keys[] = {"pgfault ", "pswpin ", "pswpout ", "pgmajfault "};
    enum { FAULTS, SWAP_IN, SWAP_OUT, MAJOR_FAULTS, KEYS };
    uint64_t value[KEYS] = {0};
    bool found[KEYS];
    scanKeyedNumbers(text->c_str(), keys, KEYS, value, found);
    if (found[FAULTS]) {
        setValue(instance, PAGE_FAULTS, toSigned(value[FAULTS]));
    }
    if (found[SWAP_IN]) {
        setValue(instance, PAGES_INPUT, toSigned(value[SWAP_IN]));
    }
    if (found[SWAP_OUT]) {
        setValue(instance, PAGES_OUTPUT, toSigned(value[SWAP_OUT]));
    }
    if (found[SWAP_IN] && found[SWAP_OUT]) {
        setValue(instance, PAGES, toSigned(value[SWAP_IN]) + toSigned(value[SWAP_OUT]));
    }
    if (found[MAJOR_FAULTS]) {
        setValue(instance, PAGE_READS, toSigned(value[MAJOR_FAULTS]));
    }
}

void sampleMemory(unsigned sources, ObjectSample& sample)
{
    InstanceSample& instance = addInstance(sample, memoryObject, "", InstanceIdentity{0, 0});
    if (sources & SOURCE_MEMINFO) {
        readMeminfo(instance);
    }
    if (sources & SOURCE_VMSTAT) {
        readVmstat(instance);
    }
}

} // namespace

const PerfObject memoryObject = {
    "Memory", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,    false,    sampleMemory,
};

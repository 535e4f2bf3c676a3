// System: no instances; /proc/stat, /proc/loadavg, /proc/uptime and the
// number of process directories under /proc.
#include <cstring>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_PROCESSES = 1, SOURCE_LOADAVG = 2, SOURCE_UPTIME = 4, SOURCE_STAT = 8 };

enum { PROCESSES, THREADS, UP_TIME, CONTEXT_SWITCHES, QUEUE_LENGTH, PROCESS_CREATIONS };

const CounterDef counters[] = {
    {"Processes", KIND_VALUE, SOURCE_PROCESSES, 1.0, TOTAL_NONE},
    {"Threads", KIND_VALUE, SOURCE_LOADAVG, 1.0, TOTAL_NONE},
    {"System Up Time", KIND_ELAPSED, SOURCE_UPTIME, 1.0, TOTAL_NONE},
    {"Context Switches/sec", KIND_RATE, SOURCE_STAT, 1.0, TOTAL_NONE},
    {"Processor Queue Length", KIND_VALUE, SOURCE_STAT, 1.0, TOTAL_NONE},
    {"Process Creations/sec", KIND_RATE, SOURCE_STAT, 1.0, TOTAL_NONE},
};

// Field 4 of /proc/loadavg is "running/total" scheduling entities.
void readThreads(InstanceSample& instance)
{
    const std::string* text = procFile(PROC_LOADAVG);
    if (!text) {
        return;
    }
    const char* slash = strchr(text->c_str(), '/');
    uint64_t threads;
    if (slash && readUnsigned(++slash, threads)) {
        setValue(instance, THREADS, toSigned(threads));
    }
}

void readStat(InstanceSample& instance)
{
    const std::string* text = procFile(PROC_STAT);
    if (!text) {
        return;
    }
    static const char* const keys[] = {"ctxt ", "procs_running ", "processes "};
    uint64_t value[3] = {0, 0, 0};
    bool found[3];
    scanKeyedNumbers(text->c_str(), keys, 3, value, found);
    if (found[0]) {
        setValue(instance, CONTEXT_SWITCHES, toSigned(value[0]));
    }
    if (found[1]) {
        // Windows counts the threads that wait for a CPU; procs_running also
        // counts those on a CPU, this reader among them.  The CPU lines of
        // the same file are the online CPUs.
        int64_t cpus = 0;
        for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
            cpus += line[0] == 'c' && line[1] == 'p' && line[2] == 'u' && line[3] >= '0' &&
                    line[3] <= '9';
        }
        int64_t waiting = toSigned(value[1]) - cpus;
        setValue(instance, QUEUE_LENGTH, waiting > 0 ? waiting : 0);
    }
    if (found[2]) {
        setValue(instance, PROCESS_CREATIONS, toSigned(value[2]));
    }
}

void sampleSystem(unsigned sources, ObjectSample& sample)
{
    InstanceSample& instance = addInstance(sample, systemObject, "", InstanceIdentity{0, 0});
    if ((sources & SOURCE_PROCESSES) && procDirectory() >= 0) {
        setValue(instance, PROCESSES, static_cast<int64_t>(processIds().size()));
    }
    if (sources & SOURCE_LOADAVG) {
        readThreads(instance);
    }
    int64_t uptime;
    if ((sources & SOURCE_UPTIME) && uptimeNanoseconds(&uptime)) {
        setValue(instance, UP_TIME, uptime, 0);
    }
    if (sources & SOURCE_STAT) {
        readStat(instance);
    }
}

} // namespace

const PerfObject systemObject = {
    "System", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,    false,    sampleSystem,
};

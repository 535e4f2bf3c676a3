// Thread: one instance per /proc/[pid]/task/[tid], by pid then tid, named
// "process/k" with k the thread's ordinal by tid within its process.  The
// names need only the process's stat (its name and thread count); a
// collection lists the tasks, and reads each thread's own stat and status when
// a counter in use needs them.
#include <algorithm>
#include <unistd.h>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_TASK_STAT = 1, SOURCE_TASK_STATUS = 2, SOURCE_UPTIME = 4 };

enum {
    PROCESSOR_TIME,
    USER_TIME,
    PRIVILEGED_TIME,
    ELAPSED_TIME,
    ID_PROCESS,
    ID_THREAD,
    CONTEXT_SWITCHES
};

const CounterDef counters[] = {
    {"% Processor Time", KIND_PERCENT, SOURCE_TASK_STAT, 1.0, TOTAL_NONE},
    {"% User Time", KIND_PERCENT, SOURCE_TASK_STAT, 1.0, TOTAL_NONE},
    {"% Privileged Time", KIND_PERCENT, SOURCE_TASK_STAT, 1.0, TOTAL_NONE},
    {"Elapsed Time", KIND_ELAPSED, SOURCE_TASK_STAT | SOURCE_UPTIME, 1.0, TOTAL_NONE},
    {"ID Process", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"ID Thread", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    // The start time tells a new thread that reused the tid from the old one.
    {"Context Switches/sec", KIND_RATE, SOURCE_TASK_STAT | SOURCE_TASK_STATUS, 1.0, TOTAL_NONE},
};

std::string buffer;  // reused for every file

void collectTid(const char* entry, void* context)
{
    const char* p = entry;
    uint64_t tid;
    if (readUnsigned(p, tid) && *p == '\0' && tid <= 0x7fffffff) {
        static_cast<std::vector<int>*>(context)->push_back(static_cast<int>(tid));
    }
}

// Reads one thread, whose files are "tid/..." under `tasks`, into `instance`.
// False when it went away meanwhile.
bool readThread(int tasks, int tid, unsigned sources, ObjectSample& sample,
                InstanceSample& instance)
{
    if (sources & SOURCE_TASK_STAT) {
        ReadResult result = readFileAt(tasks, processPath(tid, "stat").text, buffer);
        if (result == READ_GONE) {
            return false;
        }
        TaskStat stat;
        if (result == READ_OK && parseTaskStat(buffer.c_str(), stat)) {
            int64_t perTick = nanosecondsPerTick();
            int64_t user = toSigned(stat.userTicks) * perTick;
            int64_t system = toSigned(stat.systemTicks) * perTick;
            instance.identity.second = stat.startTicks;
            setValue(instance, PROCESSOR_TIME, user + system, sample.timeNs);
            setValue(instance, USER_TIME, user, sample.timeNs);
            setValue(instance, PRIVILEGED_TIME, system, sample.timeNs);
            // The start goes in b; the uptime, read once for all threads, in a.
            setValue(instance, ELAPSED_TIME, 0, toSigned(stat.startTicks) * perTick);
        }
    }
    if (sources & SOURCE_TASK_STATUS) {
        ReadResult result = readFileAt(tasks, processPath(tid, "status").text, buffer);
        if (result == READ_GONE) {
            return false;
        }
        static const char* const keys[] = {"voluntary_ctxt_switches:",
                                           "nonvoluntary_ctxt_switches:"};
        uint64_t value[2] = {0, 0};
        bool found[2];
        if (result == READ_OK) {
            scanKeyedNumbers(buffer.c_str(), keys, 2, value, found);
            if (found[0] && found[1]) {
                setValue(instance, CONTEXT_SWITCHES, toSigned(value[0]) + toSigned(value[1]));
            }
        }
    }
    return true;
}

void readProcessThreads(int proc, int pid, unsigned sources, ObjectSample& sample)
{
    const TaskStat* found = processStat(pid, -1);
    if (!found) {
        return;
    }
    const TaskStat& stat = *found;
    std::string process = instanceNameFromSystem(stat.name, stat.nameLength);
    if (sources & SOURCE_NAMES_ONLY) {
        // The names are the process's and an ordinal: its thread count is
        // enough.
        process += '/';
        for (int64_t ordinal = 0; ordinal < stat.threadCount; ++ordinal) {
            addNamedInstance(sample, process + std::to_string(ordinal));
        }
        return;
    }
    // The task directory stays open for its threads' files: each is then one
    // step from it, not three from /proc.
    int tasks = openDirectoryAt(proc, processPath(pid, "task").text);
    if (tasks < 0) {
        return;
    }
    std::vector<int> tids;
    if (listOpenDirectory(tasks, collectTid, &tids) != READ_OK) {
        close(tasks);
        return;
    }
    std::sort(tids.begin(), tids.end());
    int ordinal = 0;
    for (int tid : tids) {
        InstanceSample& instance =
            addInstance(sample, threadObject, process + "/" + std::to_string(ordinal),
                        InstanceIdentity{static_cast<uint64_t>(tid), 0});
        setValue(instance, ID_PROCESS, pid);
        setValue(instance, ID_THREAD, tid);
        if (readThread(tasks, tid, sources, sample, instance)) {
            ++ordinal;
        } else {
            sample.instances.pop_back();  // the ordinals count the threads that are left
        }
    }
    close(tasks);
}

void sampleThreads(unsigned sources, ObjectSample& sample)
{
    // A thread is told from another by its tid and start time.
    int proc = procDirectory();
    for (int pid : processIds()) {
        readProcessThreads(proc, pid, sources, sample);
    }
    if (sources & SOURCE_NAMES_ONLY) {
        return;  // names without values
    }
    int64_t uptime = 0;
    bool haveUptime = (sources & SOURCE_UPTIME) && uptimeNanoseconds(&uptime);
    for (InstanceSample& instance : sample.instances) {
        RawValue& elapsed = instance.values[ELAPSED_TIME];
        if (elapsed.valid) {
            elapsed.a = uptime;
            elapsed.valid = haveUptime;
        }
    }
}

} // namespace

const PerfObject threadObject = {
    "Thread", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,     false,    sampleThreads,
};

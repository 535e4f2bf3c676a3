// Process: one instance per /proc/[pid], by pid, named by its command name,
// then "_Total".  stat is read for every process (it gives the name; Thread
// shares the reading); status, io and the fd directory only when a counter in
// use needs them.
#include <unistd.h>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_STATUS = 1, SOURCE_IO = 2, SOURCE_FD = 4, SOURCE_UPTIME = 8 };

enum {
    PROCESSOR_TIME,
    USER_TIME,
    PRIVILEGED_TIME,
    ELAPSED_TIME,
    ID_PROCESS,
    CREATING_PROCESS_ID,
    THREAD_COUNT,
    WORKING_SET,
    WORKING_SET_PEAK,
    VIRTUAL_BYTES,
    VIRTUAL_BYTES_PEAK,
    PRIVATE_BYTES,
    PAGE_FILE_BYTES,
    PAGE_FAULTS,
    HANDLE_COUNT,
    IO_READ_OPERATIONS,
    IO_WRITE_OPERATIONS,
    IO_READ_BYTES,
    IO_WRITE_BYTES,
    IO_DATA_OPERATIONS,
    IO_DATA_BYTES,
    WORKING_SET_PRIVATE
};

const CounterDef counters[] = {
    {"% Processor Time", KIND_PERCENT, 0, 1.0, TOTAL_SUM_SHARED},
    {"% User Time", KIND_PERCENT, 0, 1.0, TOTAL_SUM_SHARED},
    {"% Privileged Time", KIND_PERCENT, 0, 1.0, TOTAL_SUM_SHARED},
    {"Elapsed Time", KIND_ELAPSED, SOURCE_UPTIME, 1.0, TOTAL_NONE},
    {"ID Process", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Creating Process ID", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Thread Count", KIND_VALUE, 0, 1.0, TOTAL_SUM},
    {"Working Set", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
    {"Working Set Peak", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
    {"Virtual Bytes", KIND_VALUE, 0, 1.0, TOTAL_SUM},
    {"Virtual Bytes Peak", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
    {"Private Bytes", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
    {"Page File Bytes", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
    {"Page Faults/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Handle Count", KIND_VALUE, SOURCE_FD, 1.0, TOTAL_SUM},
    {"IO Read Operations/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"IO Write Operations/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"IO Read Bytes/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"IO Write Bytes/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"IO Data Operations/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"IO Data Bytes/sec", KIND_RATE, SOURCE_IO, 1.0, TOTAL_SUM},
    {"Working Set - Private", KIND_VALUE, SOURCE_STATUS, 1.0, TOTAL_SUM},
};

std::string buffer;  // reused for every file of every process

int64_t kilobytes(uint64_t value)
{
    return toSigned(value) * 1024;
}

void setMemory(InstanceSample& instance, const std::string& status)
{
    static const char* const keys[] = {"VmRSS:", "VmHWM:", "VmPeak:", "RssAnon:", "VmData:",
                                       "VmStk:"};
    enum { RSS, HWM, PEAK, ANON, DATA, STACK, KEYS };
    uint64_t value[KEYS] = {0};
    bool found[KEYS];
    scanKeyedNumbers(status.c_str(), keys, KEYS, value, found);
    if (!found[RSS]) {
        // A kernel thread (or a zombie) has no memory of its own.
        for (int counter : {WORKING_SET, WORKING_SET_PEAK, VIRTUAL_BYTES_PEAK, PRIVATE_BYTES,
                            PAGE_FILE_BYTES, WORKING_SET_PRIVATE}) {
            setValue(instance, counter, 0);
        }
        return;
    }
    setValue(instance, WORKING_SET, kilobytes(value[RSS]));
    if (found[HWM]) {
        setValue(instance, WORKING_SET_PEAK, kilobytes(value[HWM]));
    }
    if (found[PEAK]) {
        setValue(instance, VIRTUAL_BYTES_PEAK, kilobytes(value[PEAK]));
    }
    if (found[DATA] && found[STACK]) {
        // The private writable memory committed, touched or not, as Windows'
        // commit charge; Windows defines Page File Bytes alike.
        int64_t committed = kilobytes(value[DATA]) + kilobytes(value[STACK]);
        setValue(instance, PRIVATE_BYTES, committed);
        setValue(instance, PAGE_FILE_BYTES, committed);
    }
    if (found[ANON]) {
        setValue(instance, WORKING_SET_PRIVATE, kilobytes(value[ANON]));
    }
}

void setIo(InstanceSample& instance, const std::string& io)
{
    static const char* const keys[] = {"rchar:", "wchar:", "syscr:", "syscw:"};
    enum { RCHAR, WCHAR, SYSCR, SYSCW, KEYS };
    uint64_t value[KEYS] = {0};
    bool found[KEYS];
    scanKeyedNumbers(io.c_str(), keys, KEYS, value, found);
    if (!(found[RCHAR] && found[WCHAR] && found[SYSCR] && found[SYSCW])) {
        return;
    }
    int64_t readBytes = toSigned(value[RCHAR]);
    int64_t writeBytes = toSigned(value[WCHAR]);
    int64_t reads = toSigned(value[SYSCR]);
    int64_t writes = toSigned(value[SYSCW]);
    setValue(instance, IO_READ_OPERATIONS, reads);
    setValue(instance, IO_WRITE_OPERATIONS, writes);
    setValue(instance, IO_READ_BYTES, readBytes);
    setValue(instance, IO_WRITE_BYTES, writeBytes);
    setValue(instance, IO_DATA_OPERATIONS, reads + writes);
    setValue(instance, IO_DATA_BYTES, readBytes + writeBytes);
}

// The entries of /proc/[pid]/fd are the descriptor numbers.
void countDescriptor(const char* entry, void* context)
{
    if (*entry >= '0' && *entry <= '9') {
        ++*static_cast<int64_t*>(context);
    }
}

// Reads one process into a new instance.  False when it went away meanwhile:
// the caller then drops the instance.
bool readProcess(int pid, int directory, unsigned sources, ObjectSample& sample)
{
    const TaskStat* found = processStat(pid, directory);
    if (!found) {
        return false;
    }
    const TaskStat& stat = *found;
    InstanceSample& instance =
        addInstance(sample, processObject, instanceNameFromSystem(stat.name, stat.nameLength),
                    InstanceIdentity{static_cast<uint64_t>(pid), stat.startTicks});
    int64_t perTick = nanosecondsPerTick();
    int64_t user = toSigned(stat.userTicks) * perTick;
    int64_t system = toSigned(stat.systemTicks) * perTick;
    setValue(instance, PROCESSOR_TIME, user + system, sample.timeNs);
    setValue(instance, USER_TIME, user, sample.timeNs);
    setValue(instance, PRIVILEGED_TIME, system, sample.timeNs);
    setValue(instance, ID_PROCESS, pid);
    setValue(instance, CREATING_PROCESS_ID, stat.parentId);
    setValue(instance, THREAD_COUNT, stat.threadCount);
    setValue(instance, VIRTUAL_BYTES, toSigned(stat.virtualBytes));
    setValue(instance, PAGE_FAULTS, toSigned(stat.minorFaults) + toSigned(stat.majorFaults));

    // A file that cannot be read leaves its counters failing; one whose process
    // is gone drops the process.
    if (sources & SOURCE_STATUS) {
        ReadResult result = readFileAt(directory, "status", buffer);
        if (result == READ_GONE) {
            return false;
        }
        if (result == READ_OK) {
            setMemory(instance, buffer);
        }
    }
    if (sources & SOURCE_IO) {
        ReadResult result = readFileAt(directory, "io", buffer);
        if (result == READ_GONE) {
            return false;
        }
        if (result == READ_OK) {
            setIo(instance, buffer);
        }
    }
    if (sources & SOURCE_FD) {
        int64_t handles = 0;
        ReadResult result = listDirectoryAt(directory, "fd", countDescriptor, &handles);
        if (result == READ_GONE) {
            return false;
        }
        if (result == READ_OK) {
            setValue(instance, HANDLE_COUNT, handles);
        }
    }
    return true;
}

void sampleProcesses(unsigned sources, ObjectSample& sample)
{
    if (sources & SOURCE_NAMES_ONLY) {
        for (int pid : processIds()) {
            if (const TaskStat* stat = processStat(pid, -1)) {
                addNamedInstance(sample, instanceNameFromSystem(stat->name, stat->nameLength));
            }
        }
        addNamedInstance(sample, "_Total");
        return;
    }
    int proc = procDirectory();
    // The names alone need only stat, which is read by its path; the other
    // files are read under the process's directory, so that all are of one
    // process even when its pid is reused meanwhile.
    bool ownDirectory = (sources & (SOURCE_STATUS | SOURCE_IO | SOURCE_FD)) != 0;
    for (int pid : processIds()) {
        int directory = -1;
        if (ownDirectory) {
            directory = openDirectoryAt(proc, processPath(pid, "").text);
            if (directory < 0) {
                continue;
            }
        }
        size_t before = sample.instances.size();
        if (!readProcess(pid, directory, sources, sample)) {
            sample.instances.resize(before);
        }
        if (directory >= 0) {
            close(directory);
        }
    }
    // Read after the processes, so that none started after the reading.
    int64_t uptime;
    if ((sources & SOURCE_UPTIME) && uptimeNanoseconds(&uptime)) {
        int64_t perTick = nanosecondsPerTick();
        for (InstanceSample& instance : sample.instances) {
            setValue(instance, ELAPSED_TIME, uptime, toSigned(instance.identity.second) * perTick);
        }
    }
    appendTotal(sample, processObject);
}

} // namespace

const PerfObject processObject = {
    "Process", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,      true,     sampleProcesses,
};

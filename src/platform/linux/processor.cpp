// Processor: one instance per "cpuN" line of /proc/stat, named N, then
// "_Total" from the "cpu" line.  The percentages are shares of the ticks that
// the same line's eight columns add up to between two collections.
#include <cstring>
#include <strings.h>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_INTERRUPTS = 1 };

enum {
    PROCESSOR_TIME,
    USER_TIME,
    PRIVILEGED_TIME,
    INTERRUPT_TIME,
    DPC_TIME,
    IDLE_TIME,
    INTERRUPTS
};

const CounterDef counters[] = {
    {"% Processor Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"% User Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"% Privileged Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"% Interrupt Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"% DPC Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"% Idle Time", KIND_PERCENT, 0, 1.0, TOTAL_NONE},
    {"Interrupts/sec", KIND_RATE, SOURCE_INTERRUPTS, 1.0, TOTAL_NONE},
};

enum { USER, NICE, SYSTEM, IDLE, IOWAIT, IRQ, SOFTIRQ, STEAL, COLUMNS };

// The times in nanoseconds, as every time of the layer is kept: their raw
// samples are then times that a consumer can take as seconds.
void setTimes(InstanceSample& instance, const uint64_t* ticks)
{
    const int64_t perTick = nanosecondsPerTick();
    int64_t column[COLUMNS];
    int64_t total = 0;
    for (int i = 0; i < COLUMNS; ++i) {
        column[i] = toSigned(ticks[i]) * perTick;
        total += column[i];
    }
    int64_t idle = column[IDLE] + column[IOWAIT];
    setValue(instance, PROCESSOR_TIME, total - idle, total);
    setValue(instance, USER_TIME, column[USER] + column[NICE], total);
    setValue(instance, PRIVILEGED_TIME, column[SYSTEM] + column[IRQ] + column[SOFTIRQ], total);
    setValue(instance, INTERRUPT_TIME, column[IRQ], total);
    setValue(instance, DPC_TIME, column[SOFTIRQ], total);
    setValue(instance, IDLE_TIME, idle, total);
}

// The system-wide error counts of /proc/interrupts ("ERR", "MIS"; "Err" on
// ARM): one number for all CPUs, which on a machine of one CPU looks like a
// column of its own.
bool isSystemWideLine(const char* label, const char* colon)
{
    size_t length = static_cast<size_t>(colon - label);
    return length == 3 && (strncasecmp(label, "ERR", 3) == 0 || strncasecmp(label, "MIS", 3) == 0);
}

// Sums each CPU's column of /proc/interrupts.  The header names the columns
// ("CPU0 CPU1 ..."; CPUs that are offline have none); the system-wide lines
// are left out.
bool interruptsPerCpu(std::vector<int>& cpus, std::vector<int64_t>& sums)
{
    const std::string* text = procFile(PROC_INTERRUPTS);
    if (!text) {
        return false;
    }
    const char* p = text->c_str();
    for (;;) {
        p = skipBlanks(p);
        if (strncmp(p, "CPU", 3) != 0) {
            break;
        }
        p += 3;
        uint64_t cpu;
        if (!readUnsigned(p, cpu)) {
            return false;
        }
        cpus.push_back(static_cast<int>(cpu));
    }
    sums.assign(cpus.size(), 0);
    std::vector<int64_t> line(cpus.size());
    for (p = nextLine(p); *p != '\0'; p = nextLine(p)) {
        const char* colon = p;
        while (*colon != ':' && *colon != '\n' && *colon != '\0') {
            ++colon;
        }
        if (*colon != ':' || isSystemWideLine(skipBlanks(p), colon)) {
            continue;
        }
        const char* q = colon + 1;
        size_t count = 0;
        uint64_t number;
        while (count < cpus.size() && readUnsigned(q, number)) {
            line[count++] = toSigned(number);
        }
        if (count == cpus.size()) {
            for (size_t i = 0; i < count; ++i) {
                sums[i] += line[i];
            }
        }
    }
    return !cpus.empty();
}

void sampleProcessors(unsigned sources, ObjectSample& sample)
{
    const std::string* text = procFile(PROC_STAT);
    if (!text) {
        return;
    }
    std::vector<int> interruptCpus;
    std::vector<int64_t> interruptSums;
    bool haveInterrupts =
        (sources & SOURCE_INTERRUPTS) && interruptsPerCpu(interruptCpus, interruptSums);

    uint64_t totalTicks[COLUMNS] = {0};
    bool haveTotal = false;
    int64_t interruptTotal = 0;
    bool haveInterruptTotal = false;
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        if (strncmp(line, "intr ", 5) == 0) {
            const char* p = line + 5;
            uint64_t count;
            if (readUnsigned(p, count)) {
                interruptTotal = toSigned(count);
                haveInterruptTotal = true;
            }
            continue;
        }
        if (strncmp(line, "cpu", 3) != 0) {
            continue;
        }
        const char* p = line + 3;
        uint64_t cpu = 0;
        bool isTotal = *p == ' ';
        if (!isTotal && !readUnsigned(p, cpu)) {
            continue;
        }
        uint64_t ticks[COLUMNS] = {0};
        // Older kernels have fewer columns; the missing ones count as 0.
        int filled = 0;
        while (filled < COLUMNS && readUnsigned(p, ticks[filled])) {
            ++filled;
        }
        if (isTotal) {
            memcpy(totalTicks, ticks, sizeof ticks);
            haveTotal = true;
            continue;
        }
        InstanceSample& instance = addInstance(sample, processorObject, std::to_string(cpu),
                                               InstanceIdentity{cpu, 0});
        setTimes(instance, ticks);
        for (size_t i = 0; haveInterrupts && i < interruptCpus.size(); ++i) {
            if (static_cast<uint64_t>(interruptCpus[i]) == cpu) {
                setValue(instance, INTERRUPTS, interruptSums[i]);
            }
        }
    }
    if (haveTotal) {
        InstanceSample& total =
            addInstance(sample, processorObject, "_Total", InstanceIdentity{~0ull, ~0ull});
        total.isTotal = true;
        setTimes(total, totalTicks);
        if (haveInterruptTotal) {
            setValue(total, INTERRUPTS, interruptTotal);
        }
    }
}

} // namespace

const PerfObject processorObject = {
    "Processor", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,        false,    sampleProcessors,
};

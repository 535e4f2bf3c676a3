#include "platform/linux/cpu_times.h"

#include <cstring>
#include <strings.h>

#include "platform/linux/procfs.h"

bool readCpuStat(CpuStat& stat)
{
    stat.cpus.clear();
    stat.haveTotal = false;
    stat.haveInterrupts = false;
    const std::string* text = procFile(PROC_STAT);
    if (!text) {
        return false;
    }
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        if (strncmp(line, "intr ", 5) == 0) {
            const char* p = line + 5;
            uint64_t count;
            if (readUnsigned(p, count)) {
                stat.interrupts = toSigned(count);
                stat.haveInterrupts = true;
            }
            continue;
        }
        if (strncmp(line, "cpu", 3) != 0) {
            continue;
        }
        const char* p = line + 3;
        CpuLine cpu = {0, {0}};
        bool isTotal = *p == ' ';
        if (!isTotal && !readUnsigned(p, cpu.cpu)) {
            continue;
        }
        // Older kernels have fewer columns; the missing ones count as 0.
        int filled = 0;
        while (filled < TICK_COLUMNS && readUnsigned(p, cpu.ticks[filled])) {
            ++filled;
        }
        if (isTotal) {
            stat.total = cpu;
            stat.haveTotal = true;
        } else {
            stat.cpus.push_back(cpu);
        }
    }
    return true;
}

namespace {

void columnsInNanoseconds(const uint64_t* ticks, int64_t* column, int64_t& total)
{
    int64_t perTick = nanosecondsPerTick();
    total = 0;
    for (int i = 0; i < TICK_COLUMNS; ++i) {
        column[i] = toSigned(ticks[i]) * perTick;
        total += column[i];
    }
}

} // namespace

int64_t cpuBusyNanoseconds(const uint64_t* ticks)
{
    int64_t column[TICK_COLUMNS];
    int64_t total;
    columnsInNanoseconds(ticks, column, total);
    return total - column[TICK_IDLE] - column[TICK_IOWAIT];
}

void setCpuTimes(InstanceSample& instance, const uint64_t* ticks)
{
    int64_t column[TICK_COLUMNS];
    int64_t total;
    columnsInNanoseconds(ticks, column, total);
    int64_t idle = column[TICK_IDLE] + column[TICK_IOWAIT];
    setValue(instance, CPU_PROCESSOR_TIME, total - idle, total);
    setValue(instance, CPU_USER_TIME, column[TICK_USER] + column[TICK_NICE], total);
    setValue(instance, CPU_PRIVILEGED_TIME,
             column[TICK_SYSTEM] + column[TICK_IRQ] + column[TICK_SOFTIRQ], total);
    setValue(instance, CPU_INTERRUPT_TIME, column[TICK_IRQ], total);
    setValue(instance, CPU_DPC_TIME, column[TICK_SOFTIRQ], total);
    setValue(instance, CPU_IDLE_TIME, idle, total);
}

namespace {

// The system-wide error counts of /proc/interrupts ("ERR", "MIS"; "Err" on
// ARM): one number for all CPUs, which on a machine of one CPU looks like a
// column of its own.
bool isSystemWideLine(const char* label, const char* colon)
{
    size_t length = static_cast<size_t>(colon - label);
    return length == 3 && (strncasecmp(label, "ERR", 3) == 0 || strncasecmp(label, "MIS", 3) == 0);
}

} // namespace

bool readCpuColumns(const char*& p, std::vector<int>& cpus)
{
    cpus.clear();
    for (;;) {
        p = skipBlanks(p);
        if (strncmp(p, "CPU", 3) != 0) {
            return true;
        }
        p += 3;
        uint64_t cpu;
        if (!readUnsigned(p, cpu)) {
            return false;
        }
        cpus.push_back(static_cast<int>(cpu));
    }
}

// The system-wide lines are left out.
bool readInterruptColumns(InterruptColumns& columns)
{
    columns.haveLocalTimer = false;
    const std::string* text = procFile(PROC_INTERRUPTS);
    if (!text) {
        return false;
    }
    const char* p = text->c_str();
    if (!readCpuColumns(p, columns.cpus)) {
        return false;
    }
    size_t width = columns.cpus.size();
    columns.sums.assign(width, 0);
    columns.localTimer.assign(width, 0);
    std::vector<int64_t> line(width);
    for (p = nextLine(p); *p != '\0'; p = nextLine(p)) {
        const char* colon = p;
        while (*colon != ':' && *colon != '\n' && *colon != '\0') {
            ++colon;
        }
        const char* label = skipBlanks(p);
        if (*colon != ':' || isSystemWideLine(label, colon)) {
            continue;
        }
        const char* q = colon + 1;
        size_t count = 0;
        uint64_t number;
        while (count < width && readUnsigned(q, number)) {
            line[count++] = toSigned(number);
        }
        if (count != width) {
            continue;
        }
        for (size_t i = 0; i < count; ++i) {
            columns.sums[i] += line[i];
        }
        if (colon - label == 3 && strncmp(label, "LOC", 3) == 0) {
            columns.localTimer = line;
            columns.haveLocalTimer = true;
        }
    }
    return width > 0;
}

int interruptColumn(const InterruptColumns& columns, uint64_t cpu)
{
    for (size_t i = 0; i < columns.cpus.size(); ++i) {
        if (static_cast<uint64_t>(columns.cpus[i]) == cpu) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

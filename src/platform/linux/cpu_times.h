// What Processor and Processor Information read alike: the CPU lines of
// /proc/stat and the per-CPU columns of /proc/interrupts.  Both objects list
// the same seven counters first, so that one function fills them in either.
#ifndef MIREKAST_PLATFORM_LINUX_CPU_TIMES_H
#define MIREKAST_PLATFORM_LINUX_CPU_TIMES_H

#include <cstdint>
#include <vector>

#include "platform/linux/perf_objects.h"

enum {
    CPU_PROCESSOR_TIME,
    CPU_USER_TIME,
    CPU_PRIVILEGED_TIME,
    CPU_INTERRUPT_TIME,
    CPU_DPC_TIME,
    CPU_IDLE_TIME,
    CPU_INTERRUPTS,
    CPU_SHARED_COUNTERS
};

// The first counters of both objects; `interrupts` is the object's source bit
// of /proc/interrupts.
#define CPU_SHARED_COUNTER_DEFS(interrupts, total)                  \
    {"% Processor Time", KIND_PERCENT, 0, 1.0, total},              \
    {"% User Time", KIND_PERCENT, 0, 1.0, total},                   \
    {"% Privileged Time", KIND_PERCENT, 0, 1.0, total},             \
    {"% Interrupt Time", KIND_PERCENT, 0, 1.0, total},              \
    {"% DPC Time", KIND_PERCENT, 0, 1.0, total},                    \
    {"% Idle Time", KIND_PERCENT, 0, 1.0, total},                   \
    {"Interrupts/sec", KIND_RATE, interrupts, 1.0, total}

// Fields of a CPU line in clock ticks: user nice system idle iowait irq
// softirq steal.
enum { TICK_USER, TICK_NICE, TICK_SYSTEM, TICK_IDLE, TICK_IOWAIT, TICK_IRQ, TICK_SOFTIRQ,
       TICK_STEAL, TICK_COLUMNS };

struct CpuLine {
    uint64_t cpu;
    uint64_t ticks[TICK_COLUMNS];
};

struct CpuStat {
    std::vector<CpuLine> cpus;  // in kernel order
    CpuLine total;              // the "cpu" line
    bool haveTotal;
    int64_t interrupts;  // "intr" total
    bool haveInterrupts;
};

// False when /proc/stat cannot be read.
bool readCpuStat(CpuStat& stat);

// The six percentages, in nanoseconds of busy and of all time.
void setCpuTimes(InstanceSample& instance, const uint64_t* ticks);
// The busy time of a line, in nanoseconds.
int64_t cpuBusyNanoseconds(const uint64_t* ticks);

// The heading "CPU0 CPU1 ..." of /proc/interrupts and /proc/softirqs: the
// CPU of each column (offline CPUs have none).  `p` is left after it.
bool readCpuColumns(const char*& p, std::vector<int>& cpus);

// Per CPU that has a column in /proc/interrupts: the column summed over the
// lines that are per CPU, and its figure on the local timer line ("LOC").
struct InterruptColumns {
    std::vector<int> cpus;
    std::vector<int64_t> sums;
    std::vector<int64_t> localTimer;
    bool haveLocalTimer;
};
bool readInterruptColumns(InterruptColumns& columns);
// The column of `cpu`, or -1.
int interruptColumn(const InterruptColumns& columns, uint64_t cpu);

#endif

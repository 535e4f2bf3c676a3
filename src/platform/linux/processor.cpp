// Processor: one instance per "cpuN" line of /proc/stat, named N, then
// "_Total" from the "cpu" line.  The percentages are shares of the ticks that
// the same line's eight columns add up to between two collections.
#include "platform/linux/cpu_times.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_INTERRUPTS = 1 };

const CounterDef counters[] = {
    CPU_SHARED_COUNTER_DEFS(SOURCE_INTERRUPTS, TOTAL_NONE),
};

CpuStat stat;
InterruptColumns interrupts;

void sampleProcessors(unsigned sources, ObjectSample& sample)
{
    if (!readCpuStat(stat)) {
        return;
    }
    bool haveInterrupts = (sources & SOURCE_INTERRUPTS) && readInterruptColumns(interrupts);
    for (const CpuLine& cpu : stat.cpus) {
        InstanceSample& instance = addInstance(sample, processorObject, std::to_string(cpu.cpu),
                                               InstanceIdentity{cpu.cpu, 0});
        setCpuTimes(instance, cpu.ticks);
        int column = haveInterrupts ? interruptColumn(interrupts, cpu.cpu) : -1;
        if (column >= 0) {
            setValue(instance, CPU_INTERRUPTS, interrupts.sums[static_cast<size_t>(column)]);
        }
    }
    if (stat.haveTotal) {
        InstanceSample& total =
            addInstance(sample, processorObject, "_Total", InstanceIdentity{~0ull, ~0ull});
        total.isTotal = true;
        setCpuTimes(total, stat.total.ticks);
        if (stat.haveInterrupts) {
            setValue(total, CPU_INTERRUPTS, stat.interrupts);
        }
    }
}

} // namespace

const PerfObject processorObject = {
    "Processor", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,        false,    sampleProcessors,
};

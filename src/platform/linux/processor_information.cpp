// Processor Information: Processor's figures per "node,cpu", then a
// "node,_Total" per NUMA node, then "_Total"; with the softirq, local timer,
// frequency and idle-state counters that Windows keeps there.  The times come
// from the same /proc/stat lines as Processor's.  A CPU's node is the
// /sys/devices/system/node/nodeN whose cpulist holds it; without NUMA
// information every CPU is on node 0.  Frequency and idle states come from
// cpufreq and cpuidle under /sys/devices/system/cpu/cpuC; a machine without
// them fails those fetches.
#include <cstring>
#include <map>
#include <string>

#include "platform/linux/cpu_times.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_INTERRUPTS = 1, SOURCE_SOFTIRQS = 2, SOURCE_CPUFREQ = 4, SOURCE_CPUIDLE = 8 };

enum {
    DPCS_QUEUED = CPU_SHARED_COUNTERS,
    CLOCK_INTERRUPTS,
    FREQUENCY,
    OF_MAXIMUM_FREQUENCY,
    PERFORMANCE,
    UTILITY,
    C1_TIME,
    C2_TIME,
    C3_TIME,
    C1_TRANSITIONS,
    C2_TRANSITIONS,
    C3_TRANSITIONS,
    IDLE_BREAK_EVENTS
};

const CounterDef counters[] = {
    CPU_SHARED_COUNTER_DEFS(SOURCE_INTERRUPTS, TOTAL_NONE),
    {"DPCs Queued/sec", KIND_RATE, SOURCE_SOFTIRQS, 1.0, TOTAL_NONE},
    {"Clock Interrupts/sec", KIND_RATE, SOURCE_INTERRUPTS, 1.0, TOTAL_NONE},
    {"Processor Frequency", KIND_VALUE, SOURCE_CPUFREQ, 1.0 / 1000, TOTAL_NONE},
    {"% of Maximum Frequency", KIND_VALUE, SOURCE_CPUFREQ, 1.0, TOTAL_NONE},
    {"% Processor Performance", KIND_VALUE, SOURCE_CPUFREQ, 1.0, TOTAL_NONE},
    // May pass 100 when the CPU runs above its base frequency, as on Windows.
    {"% Processor Utility", KIND_PERCENT, SOURCE_CPUFREQ, 1.0, TOTAL_NONE},
    {"% C1 Time", KIND_PERCENT, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"% C2 Time", KIND_PERCENT, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"% C3 Time", KIND_PERCENT, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"C1 Transitions/sec", KIND_RATE, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"C2 Transitions/sec", KIND_RATE, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"C3 Transitions/sec", KIND_RATE, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
    {"Idle Break Events/sec", KIND_RATE, SOURCE_CPUIDLE, 1.0, TOTAL_NONE},
};
const int COUNTER_COUNT = static_cast<int>(sizeof counters / sizeof counters[0]);

CpuStat stat;
InterruptColumns interrupts;
std::string text;  // reused for every file under /sys

// A number of the file `path` under /sys; false when there is none.
bool readSysNumber(const std::string& path, int64_t& value)
{
    if (readFileAt(sysDirectory(), path.c_str(), text) != READ_OK) {
        return false;
    }
    const char* p = text.c_str();
    return readSigned(p, value);
}

// Node of each CPU, from the cpulist ("0-3,8") of every nodeN.
struct NodeLister {
    std::map<uint64_t, uint64_t>* nodeOf;
};

void visitNode(const char* entry, void* context)
{
    const char* p = entry;
    uint64_t node;
    if (strncmp(p, "node", 4) != 0 || !readUnsigned(p += 4, node) || *p != '\0') {
        return;
    }
    std::string path = std::string("devices/system/node/") + entry + "/cpulist";
    if (readFileAt(sysDirectory(), path.c_str(), text) != READ_OK) {
        return;
    }
    std::map<uint64_t, uint64_t>& nodeOf = *static_cast<NodeLister*>(context)->nodeOf;
    for (const char* q = text.c_str();;) {
        uint64_t first, last;
        if (!readUnsigned(q, first)) {
            break;
        }
        last = first;
        if (*q == '-') {
            ++q;
            if (!readUnsigned(q, last)) {
                break;
            }
        }
        for (uint64_t cpu = first; cpu <= last && cpu - first < 65536; ++cpu) {
            nodeOf[cpu] = node;
        }
        if (*q != ',') {
            break;
        }
        ++q;
    }
}

// Per CPU column of /proc/softirqs, summed over its rows.
bool readSoftirqColumns(std::vector<int>& cpus, std::vector<int64_t>& sums)
{
    const std::string* softirqs = procFile(PROC_SOFTIRQS);
    if (!softirqs) {
        return false;
    }
    const char* p = softirqs->c_str();
    if (!readCpuColumns(p, cpus)) {
        return false;
    }
    sums.assign(cpus.size(), 0);
    for (p = nextLine(p); *p != '\0'; p = nextLine(p)) {
        const char* q = strchr(p, ':');
        const char* end = strchrnul(p, '\n');
        if (!q || q > end) {
            continue;
        }
        ++q;
        uint64_t number;
        for (size_t i = 0; i < cpus.size() && readUnsigned(q, number); ++i) {
            sums[i] += toSigned(number);
        }
    }
    return !cpus.empty();
}

// The busy time at the CPU's base frequency, integrated over the readings:
// each stretch of busy time counts at the frequency read at its end.  Kept
// across collections (and queries): busy time only grows, so each reading
// adds the stretch since the one before, whoever took it.
struct Utility {
    int64_t lastBusy;
    double scaled;
};
std::map<uint64_t, Utility> utilities;

int64_t utilityNanoseconds(uint64_t cpu, int64_t busy, double ratio)
{
    auto found = utilities.find(cpu);
    if (found == utilities.end() || busy < found->second.lastBusy) {
        Utility& start = utilities[cpu];
        start = Utility{busy, static_cast<double>(busy) * ratio};
        return static_cast<int64_t>(start.scaled);
    }
    Utility& utility = found->second;
    utility.scaled += static_cast<double>(busy - utility.lastBusy) * ratio;
    utility.lastBusy = busy;
    return static_cast<int64_t>(utility.scaled);
}

void readFrequency(const CpuLine& cpu, InstanceSample& instance)
{
    std::string base = "devices/system/cpu/cpu" + std::to_string(cpu.cpu) + "/cpufreq/";
    int64_t current, maximum, nominal;
    if (!readSysNumber(base + "scaling_cur_freq", current) || current <= 0) {
        return;
    }
    setValue(instance, FREQUENCY, current);
    if (readSysNumber(base + "cpuinfo_max_freq", maximum) && maximum > 0) {
        setValue(instance, OF_MAXIMUM_FREQUENCY, 100 * current / maximum);
    }
    if (readSysNumber(base + "base_frequency", nominal) && nominal > 0) {
        setValue(instance, PERFORMANCE, 100 * current / nominal);
        int64_t busy = cpuBusyNanoseconds(cpu.ticks);
        int64_t all = busy + toSigned(cpu.ticks[TICK_IDLE] + cpu.ticks[TICK_IOWAIT]) *
                                 nanosecondsPerTick();
        setValue(instance, UTILITY,
                 utilityNanoseconds(cpu.cpu, busy,
                                    static_cast<double>(current) / static_cast<double>(nominal)),
                 all);
    }
}

void readIdleStates(const CpuLine& cpu, InstanceSample& instance, int64_t timeNs)
{
    std::string base = "devices/system/cpu/cpu" + std::to_string(cpu.cpu) + "/cpuidle/state";
    int64_t breaks = 0;
    bool any = false;
    for (int state = 0; state < 64; ++state) {
        std::string dir = base + std::to_string(state) + "/";
        int64_t usage, time;
        if (readFileAt(sysDirectory(), (dir + "name").c_str(), text) != READ_OK) {
            break;
        }
        std::string name(text, 0, text.find('\n'));
        if (!readSysNumber(dir + "usage", usage) || !readSysNumber(dir + "time", time)) {
            continue;
        }
        any = true;
        breaks += usage;
        for (int k = 0; k < 3; ++k) {
            if (name == "C" + std::to_string(k + 1)) {
                setValue(instance, C1_TIME + k, time * 1000, timeNs);
                setValue(instance, C1_TRANSITIONS + k, usage);
            }
        }
    }
    if (any) {
        setValue(instance, IDLE_BREAK_EVENTS, breaks);
    }
}

// A total of `members` from counter `from` on: averages of the values
// (frequencies and their shares), sums of the rest.
void sumInto(InstanceSample& total, const std::vector<const InstanceSample*>& members, int from)
{
    for (int c = from; c < COUNTER_COUNT; ++c) {
        size_t column = static_cast<size_t>(c);
        RawValue sum = {0, 0, false};
        int64_t count = 0;
        for (const InstanceSample* member : members) {
            const RawValue& value = member->values[column];
            if (value.valid) {
                sum.valid = true;
                sum.a += value.a;
                sum.b += value.b;
                ++count;
            }
        }
        if (sum.valid && counters[c].kind == KIND_VALUE) {
            sum.a /= count;
        }
        total.values[column] = sum;
    }
}

void sampleProcessorInformation(unsigned sources, ObjectSample& sample)
{
    if (!readCpuStat(stat)) {
        return;
    }
    std::map<uint64_t, uint64_t> nodeOf;
    NodeLister lister = {&nodeOf};
    listDirectoryAt(sysDirectory(), "devices/system/node", visitNode, &lister);
    bool haveInterrupts = (sources & SOURCE_INTERRUPTS) && readInterruptColumns(interrupts);
    std::vector<int> softirqCpus;
    std::vector<int64_t> softirqSums;
    bool haveSoftirqs = (sources & SOURCE_SOFTIRQS) && readSoftirqColumns(softirqCpus, softirqSums);

    std::map<uint64_t, std::vector<size_t>> nodes;  // node -> its CPUs' instances
    for (const CpuLine& cpu : stat.cpus) {
        auto found = nodeOf.find(cpu.cpu);
        uint64_t node = found != nodeOf.end() ? found->second : 0;
        nodes[node].push_back(sample.instances.size());
        InstanceSample& instance =
            addInstance(sample, processorInformationObject,
                        std::to_string(node) + "," + std::to_string(cpu.cpu),
                        InstanceIdentity{cpu.cpu, node});
        setCpuTimes(instance, cpu.ticks);
        int column = haveInterrupts ? interruptColumn(interrupts, cpu.cpu) : -1;
        if (column >= 0) {
            setValue(instance, CPU_INTERRUPTS, interrupts.sums[static_cast<size_t>(column)]);
            if (interrupts.haveLocalTimer) {
                setValue(instance, CLOCK_INTERRUPTS,
                         interrupts.localTimer[static_cast<size_t>(column)]);
            }
        }
        for (size_t i = 0; haveSoftirqs && i < softirqCpus.size(); ++i) {
            if (static_cast<uint64_t>(softirqCpus[i]) == cpu.cpu) {
                setValue(instance, DPCS_QUEUED, softirqSums[i]);
            }
        }
        if (sources & SOURCE_CPUFREQ) {
            readFrequency(cpu, instance);
        }
        if (sources & SOURCE_CPUIDLE) {
            readIdleStates(cpu, instance, sample.timeNs);
        }
    }
    size_t cpuCount = sample.instances.size();
    // Each total is summed before it is added: adding may move the members.
    for (const auto& node : nodes) {
        std::vector<const InstanceSample*> members;
        for (size_t position : node.second) {
            members.push_back(&sample.instances[position]);
        }
        InstanceSample total;
        total.values.assign(static_cast<size_t>(COUNTER_COUNT), RawValue{0, 0, false});
        sumInto(total, members, 0);
        addInstance(sample, processorInformationObject, std::to_string(node.first) + ",_Total",
                    InstanceIdentity{~0ull - 1 - node.first, 0})
            .values = std::move(total.values);
    }
    if (stat.haveTotal) {
        std::vector<const InstanceSample*> members;
        for (size_t i = 0; i < cpuCount; ++i) {
            members.push_back(&sample.instances[i]);
        }
        InstanceSample total;
        total.values.assign(static_cast<size_t>(COUNTER_COUNT), RawValue{0, 0, false});
        sumInto(total, members, 0);
        InstanceSample& added = addInstance(sample, processorInformationObject, "_Total",
                                            InstanceIdentity{~0ull, ~0ull});
        added.isTotal = true;
        added.values = std::move(total.values);
        // As Processor's: the "cpu" line and the "intr" total.
        setCpuTimes(added, stat.total.ticks);
        added.values[CPU_INTERRUPTS] = RawValue{0, 0, false};
        if (stat.haveInterrupts) {
            setValue(added, CPU_INTERRUPTS, stat.interrupts);
        }
    }
}

} // namespace

const PerfObject processorInformationObject = {
    "Processor Information", counters, COUNTER_COUNT, true, false, sampleProcessorInformation,
};

// PhysicalDisk: one instance per whole disk of /proc/diskstats, in kernel
// order, then "_Total".  A whole disk is one that /sys/block lists with a
// device behind it: partitions live under their disk, and loop, ram, zram and
// mapper devices have no device of their own.
#include <cstring>
#include <sys/stat.h>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum {
    READS,
    WRITES,
    TRANSFERS,
    READ_BYTES,
    WRITE_BYTES,
    BYTES,
    CURRENT_QUEUE,
    DISK_TIME,
    IDLE_TIME,
    AVERAGE_QUEUE
};

const CounterDef counters[] = {
    {"Disk Reads/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Disk Writes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Disk Transfers/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Disk Read Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Disk Write Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Disk Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},
    {"Current Disk Queue Length", KIND_VALUE, 0, 1.0, TOTAL_SUM},
    // The total's share is over all disks' time: the average busy share.
    {"% Disk Time", KIND_PERCENT, 0, 1.0, TOTAL_SUM},
    {"% Idle Time", KIND_PERCENT_INVERSE, 0, 1.0, TOTAL_SUM},
    // Milliseconds of weighted I/O time per second of time.
    {"Avg. Disk Queue Length", KIND_RATE, 0, 1.0 / 1000, TOTAL_SUM},
};

const int64_t SECTOR_BYTES = 512;

bool startsWith(const std::string& name, const char* prefix)
{
    return name.compare(0, strlen(prefix), prefix) == 0;
}

// Without /sys: leave out RAM-backed and loop devices, and the partitions of
// a disk already listed ("sda1" of "sda", "nvme0n1p1" of "nvme0n1").
bool looksWhole(const std::string& name, const std::vector<std::string>& earlier)
{
    if (startsWith(name, "loop") || startsWith(name, "ram") || startsWith(name, "zram")) {
        return false;
    }
    for (const std::string& disk : earlier) {
        if (name.size() > disk.size() && startsWith(name, disk.c_str())) {
            size_t i = disk.size();
            if (name[i] == 'p') {
                ++i;
            }
            if (i < name.size() && name.find_first_not_of("0123456789", i) == std::string::npos) {
                return false;
            }
        }
    }
    return true;
}

bool isWholeDisk(const std::string& name, const std::vector<std::string>& earlier)
{
    struct stat status;
    int sys = sysDirectory();
    if (sys < 0 || fstatat(sys, "block", &status, 0) != 0) {
        return looksWhole(name, earlier);
    }
    // Kernel names with '/' ("cciss/c0d0") have '!' in sysfs.
    std::string sysName = name;
    for (char& c : sysName) {
        if (c == '/') {
            c = '!';
        }
    }
    std::string path = "block/" + sysName + "/device";
    return fstatat(sys, path.c_str(), &status, 0) == 0;
}

void sampleDisks(unsigned, ObjectSample& sample)
{
    const std::string* text = procFile(PROC_DISKSTATS);
    if (!text) {
        return;
    }
    std::vector<std::string> names;
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        const char* p = line;
        uint64_t major, minor;
        if (!readUnsigned(p, major) || !readUnsigned(p, minor)) {
            continue;
        }
        p = skipBlanks(p);
        const char* nameEnd = p;
        while (*nameEnd != ' ' && *nameEnd != '\t' && *nameEnd != '\n' && *nameEnd != '\0') {
            ++nameEnd;
        }
        std::string name(p, nameEnd);
        p = nameEnd;
        uint64_t field[12] = {0};
        int count = 0;
        while (count < 11 && readUnsigned(p, field[count + 1])) {
            ++count;
        }
        if (count < 11 || name.empty()) {
            continue;
        }
        bool whole = isWholeDisk(name, names);
        names.push_back(name);
        if (!whole) {
            continue;
        }
        InstanceSample& disk =
            addInstance(sample, physicalDiskObject, instanceNameFromSystem(name.data(), name.size()),
                        InstanceIdentity{(major << 32) | minor, 0});
        int64_t reads = toSigned(field[1]);
        int64_t readBytes = toSigned(field[3]) * SECTOR_BYTES;
        int64_t writes = toSigned(field[5]);
        int64_t writeBytes = toSigned(field[7]) * SECTOR_BYTES;
        int64_t busy = toSigned(field[10]) * 1000000;  // ms as ns, against the sample time
        setValue(disk, READS, reads);
        setValue(disk, WRITES, writes);
        setValue(disk, TRANSFERS, reads + writes);
        setValue(disk, READ_BYTES, readBytes);
        setValue(disk, WRITE_BYTES, writeBytes);
        setValue(disk, BYTES, readBytes + writeBytes);
        setValue(disk, CURRENT_QUEUE, toSigned(field[9]));
        setValue(disk, DISK_TIME, busy, sample.timeNs);
        setValue(disk, IDLE_TIME, busy, sample.timeNs);
        setValue(disk, AVERAGE_QUEUE, toSigned(field[11]));
    }
    appendTotal(sample, physicalDiskObject);
}

} // namespace

const PerfObject physicalDiskObject = {
    "PhysicalDisk", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,           false,    sampleDisks,
};

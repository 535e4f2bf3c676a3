// PhysicalDisk: one instance per whole disk of /proc/diskstats, in kernel
// order, then "_Total".  A whole disk is one that /sys/block lists with a
// device behind it: partitions live under their disk, and loop, ram, zram and
// mapper devices have no device of their own.
#include <cstring>
#include <sys/stat.h>

#include "platform/linux/disk_io.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

const CounterDef counters[] = {
    DISK_IO_COUNTER_DEFS,
};

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
        DiskLine disk;
        if (!parseDiskLine(line, disk)) {
            continue;
        }
        std::string name(disk.name, disk.nameLength);
        bool whole = isWholeDisk(name, names);
        names.push_back(name);
        if (!whole) {
            continue;
        }
        InstanceSample& instance =
            addInstance(sample, physicalDiskObject, instanceNameFromSystem(name.data(), name.size()),
                        InstanceIdentity{(disk.major << 32) | disk.minor, 0});
        setDiskIo(instance, 0, disk, sample.timeNs);
    }
    appendTotal(sample, physicalDiskObject);
}

} // namespace

const PerfObject physicalDiskObject = {
    "PhysicalDisk", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,           false,    sampleDisks,
};

// LogicalDisk: one instance per mounted block-device filesystem, named by the
// device's kernel name, then "_Total"; its I/O counters read the device's own
// line of /proc/diskstats (a partition's line counts that partition's I/O).  The mounts come from mountinfo, whose
// "major:minor" names the device that /proc/diskstats lists by name; a device
// mounted at several places counts once, at its first mount.
#include <algorithm>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include "platform/linux/disk_io.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_STATVFS = 1 };

enum { FREE_SPACE, FREE_MEGABYTES, FIRST_IO };

const CounterDef counters[] = {
    {"% Free Space", KIND_FRACTION, SOURCE_STATVFS, 1.0, TOTAL_SUM},
    {"Free Megabytes", KIND_VALUE, SOURCE_STATVFS, 1.0 / (1024 * 1024), TOTAL_SUM},
    DISK_IO_COUNTER_DEFS,
};

// The diskstats line of block device major:minor; false when there is none.
bool deviceLine(const std::string& diskstats, uint64_t major, uint64_t minor, DiskLine& disk)
{
    for (const char* line = diskstats.c_str(); *line != '\0'; line = nextLine(line)) {
        const char* p = line;
        uint64_t lineMajor, lineMinor;
        if (readUnsigned(p, lineMajor) && readUnsigned(p, lineMinor) && lineMajor == major &&
            lineMinor == minor) {
            return parseDiskLine(line, disk);
        }
    }
    return false;
}

std::string nameOf(const DiskLine& disk)
{
    return std::string(disk.name, disk.nameLength);
}

const char* fieldEnd(const char* p)
{
    while (*p != ' ' && *p != '\n' && *p != '\0') {
        ++p;
    }
    return p;
}

void sampleFilesystems(unsigned sources, ObjectSample& sample)
{
    const std::string* mounts = procFile(PROC_MOUNTINFO);
    const std::string* disks = procFile(PROC_DISKSTATS);
    if (!mounts || !disks) {
        return;
    }
    std::vector<uint64_t> seen;
    for (const char* line = mounts->c_str(); *line != '\0'; line = nextLine(line)) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        const char* p = line;
        uint64_t id, parent, major, minor;
        if (!readUnsigned(p, id) || !readUnsigned(p, parent) || !readUnsigned(p, major) ||
            *p != ':') {
            continue;
        }
        ++p;
        if (!readUnsigned(p, minor)) {
            continue;
        }
        p = fieldEnd(skipBlanks(p));  // root
        const char* pointBegin = skipBlanks(p);
        const char* pointEnd = fieldEnd(pointBegin);
        DiskLine disk;
        bool found = deviceLine(*disks, major, minor, disk);
        if (!found && major == 0) {
            // Filesystems such as btrfs show an anonymous device here; the
            // source after " - type " names the real one.
            const char* separator = pointEnd;
            while (*separator != '\n' && *separator != '\0' &&
                   !(separator[0] == ' ' && separator[1] == '-' && separator[2] == ' ')) {
                ++separator;
            }
            if (*separator == ' ') {
                const char* source = skipBlanks(fieldEnd(skipBlanks(separator + 3)));
                std::string device = decodeOctalEscapes(source, static_cast<size_t>(fieldEnd(source) - source));
                struct stat status;
                if (device.compare(0, 5, "/dev/") == 0 && stat(device.c_str(), &status) == 0 &&
                    S_ISBLK(status.st_mode)) {
                    major = ::major(status.st_rdev);
                    minor = ::minor(status.st_rdev);
                    found = deviceLine(*disks, major, minor, disk);
                }
            }
        }
        uint64_t device = (major << 32) | minor;
        if (!found || std::find(seen.begin(), seen.end(), device) != seen.end()) {
            continue;
        }
        seen.push_back(device);
        std::string name = nameOf(disk);
        InstanceSample& filesystem =
            addInstance(sample, logicalDiskObject, instanceNameFromSystem(name.data(), name.size()),
                        InstanceIdentity{device, 0});
        setDiskIo(filesystem, FIRST_IO, disk, sample.timeNs);
        struct statvfs figures;
        std::string point = decodeOctalEscapes(pointBegin, static_cast<size_t>(pointEnd - pointBegin));
        if ((sources & SOURCE_STATVFS) && callStatvfs(point.c_str(), &figures) == 0 &&
            figures.f_blocks > 0) {
            // In bytes, not blocks: the total adds filesystems whose block
            // sizes differ.
            int64_t blockSize = static_cast<int64_t>(figures.f_frsize);
            int64_t available = toSigned(figures.f_bavail) * blockSize;
            setValue(filesystem, FREE_SPACE, available, toSigned(figures.f_blocks) * blockSize);
            setValue(filesystem, FREE_MEGABYTES, available);
        }
    }
    appendTotal(sample, logicalDiskObject);
}

} // namespace

const PerfObject logicalDiskObject = {
    "LogicalDisk", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,          false,    sampleFilesystems,
};

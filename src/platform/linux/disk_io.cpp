#include "platform/linux/disk_io.h"

#include "platform/linux/procfs.h"

bool parseDiskLine(const char* line, DiskLine& disk)
{
    const char* p = line;
    if (!readUnsigned(p, disk.major) || !readUnsigned(p, disk.minor)) {
        return false;
    }
    p = skipBlanks(p);
    const char* nameEnd = p;
    while (*nameEnd != ' ' && *nameEnd != '\t' && *nameEnd != '\n' && *nameEnd != '\0') {
        ++nameEnd;
    }
    disk.name = p;
    disk.nameLength = static_cast<size_t>(nameEnd - p);
    p = nameEnd;
    disk.field[0] = 0;
    int count = 0;
    while (count < 11 && readUnsigned(p, disk.field[count + 1])) {
        ++count;
    }
    return count == 11 && disk.nameLength > 0;
}

void setDiskIo(InstanceSample& instance, int first, const DiskLine& disk, int64_t timeNs)
{
    const int64_t sectorBytes = 512;
    const int64_t millisecond = 1000000;  // times are kept in nanoseconds
    const uint64_t* field = disk.field;
    int64_t reads = toSigned(field[1]);
    int64_t readBytes = toSigned(field[3]) * sectorBytes;
    int64_t readTime = toSigned(field[4]) * millisecond;
    int64_t writes = toSigned(field[5]);
    int64_t writeBytes = toSigned(field[7]) * sectorBytes;
    int64_t writeTime = toSigned(field[8]) * millisecond;
    int64_t busy = toSigned(field[10]) * millisecond;
    int64_t weighted = toSigned(field[11]) * millisecond;
    setValue(instance, first + DISK_READS, reads);
    setValue(instance, first + DISK_WRITES, writes);
    setValue(instance, first + DISK_TRANSFERS, reads + writes);
    setValue(instance, first + DISK_READ_BYTES, readBytes);
    setValue(instance, first + DISK_WRITE_BYTES, writeBytes);
    setValue(instance, first + DISK_BYTES, readBytes + writeBytes);
    setValue(instance, first + DISK_CURRENT_QUEUE, toSigned(field[9]));
    // Windows' % Disk Time is the mean queue × 100, not the busy share: the
    // time the requests spent, summed, against the time.
    setValue(instance, first + DISK_TIME, readTime + writeTime, timeNs);
    setValue(instance, first + DISK_IDLE_TIME, busy, timeNs);
    setValue(instance, first + DISK_AVERAGE_QUEUE, weighted);
    setValue(instance, first + DISK_SEC_READ, readTime, reads);
    setValue(instance, first + DISK_SEC_WRITE, writeTime, writes);
    setValue(instance, first + DISK_SEC_TRANSFER, readTime + writeTime, reads + writes);
    setValue(instance, first + DISK_BYTES_PER_READ, readBytes, reads);
    setValue(instance, first + DISK_BYTES_PER_WRITE, writeBytes, writes);
    setValue(instance, first + DISK_BYTES_PER_TRANSFER, readBytes + writeBytes, reads + writes);
    setValue(instance, first + DISK_READ_QUEUE, readTime);
    setValue(instance, first + DISK_WRITE_QUEUE, writeTime);
    setValue(instance, first + DISK_READ_TIME, readTime, timeNs);
    setValue(instance, first + DISK_WRITE_TIME, writeTime, timeNs);
}

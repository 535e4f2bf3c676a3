// The I/O counters of one /proc/diskstats line, which PhysicalDisk (a whole
// disk's line) and LogicalDisk (its filesystem's device's line) share.
#ifndef MIREKAST_PLATFORM_LINUX_DISK_IO_H
#define MIREKAST_PLATFORM_LINUX_DISK_IO_H

#include <cstdint>
#include <string>

#include "platform/linux/perf_objects.h"

// Positions from the object's first I/O counter.
enum {
    DISK_READS,
    DISK_WRITES,
    DISK_TRANSFERS,
    DISK_READ_BYTES,
    DISK_WRITE_BYTES,
    DISK_BYTES,
    DISK_CURRENT_QUEUE,
    DISK_TIME,
    DISK_IDLE_TIME,
    DISK_AVERAGE_QUEUE,
    DISK_SEC_READ,
    DISK_SEC_WRITE,
    DISK_SEC_TRANSFER,
    DISK_BYTES_PER_READ,
    DISK_BYTES_PER_WRITE,
    DISK_BYTES_PER_TRANSFER,
    DISK_READ_QUEUE,
    DISK_WRITE_QUEUE,
    DISK_READ_TIME,
    DISK_WRITE_TIME,
    DISK_IO_COUNTERS
};

// Each total sums its disks' figures: the percentages of time sum the disks'
// times too, so that the total's is the mean over the disks.
#define DISK_IO_COUNTER_DEFS                                                 \
    {"Disk Reads/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                        \
    {"Disk Writes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                       \
    {"Disk Transfers/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                    \
    {"Disk Read Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                   \
    {"Disk Write Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                  \
    {"Disk Bytes/sec", KIND_RATE, 0, 1.0, TOTAL_SUM},                        \
    {"Current Disk Queue Length", KIND_VALUE, 0, 1.0, TOTAL_SUM},            \
    {"% Disk Time", KIND_QUEUE_PERCENT, 0, 1.0, TOTAL_SUM},                  \
    {"% Idle Time", KIND_PERCENT_INVERSE, 0, 1.0, TOTAL_SUM},                \
    {"Avg. Disk Queue Length", KIND_QUEUE, 0, 1.0, TOTAL_SUM},               \
    {"Avg. Disk sec/Read", KIND_AVERAGE_TIMER, 0, 1.0, TOTAL_SUM},           \
    {"Avg. Disk sec/Write", KIND_AVERAGE_TIMER, 0, 1.0, TOTAL_SUM},          \
    {"Avg. Disk sec/Transfer", KIND_AVERAGE_TIMER, 0, 1.0, TOTAL_SUM},       \
    {"Avg. Disk Bytes/Read", KIND_AVERAGE_BULK, 0, 1.0, TOTAL_SUM},          \
    {"Avg. Disk Bytes/Write", KIND_AVERAGE_BULK, 0, 1.0, TOTAL_SUM},         \
    {"Avg. Disk Bytes/Transfer", KIND_AVERAGE_BULK, 0, 1.0, TOTAL_SUM},      \
    {"Avg. Disk Read Queue Length", KIND_QUEUE, 0, 1.0, TOTAL_SUM},          \
    {"Avg. Disk Write Queue Length", KIND_QUEUE, 0, 1.0, TOTAL_SUM},         \
    {"% Disk Read Time", KIND_QUEUE_PERCENT, 0, 1.0, TOTAL_SUM},             \
    {"% Disk Write Time", KIND_QUEUE_PERCENT, 0, 1.0, TOTAL_SUM}

// A line of /proc/diskstats: "major minor name" and the numbers after the
// name, field[1] being column 4 (reads completed) and field[11] column 14
// (weighted time doing I/O).
struct DiskLine {
    uint64_t major;
    uint64_t minor;
    const char* name;
    size_t nameLength;
    uint64_t field[12];
};

// False for a line without the eleven numbers the counters read.
bool parseDiskLine(const char* line, DiskLine& disk);
// Sets the I/O counters that start at `first` from the line.
void setDiskIo(InstanceSample& instance, int first, const DiskLine& disk, int64_t timeNs);

#endif

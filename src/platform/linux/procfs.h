// Reading /proc and /sys cheaply: directory descriptors opened once, small
// files read whole into reused buffers, the system-wide files read at most
// once per collection, numbers parsed by walking a pointer.
#ifndef MIREKAST_PLATFORM_LINUX_PROCFS_H
#define MIREKAST_PLATFORM_LINUX_PROCFS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct statvfs;

// Where the files come from.  The shipped program keeps /proc and /sys; tests
// point the layer at captured trees.  Setting a root closes the old one.
void setProcRoot(const char* path);
void setSysRoot(const char* path);

// Descriptors of the two roots, opened on first use; -1 when unavailable.
int procDirectory();
int sysDirectory();

// The clock that stamps every sample, in nanoseconds (CLOCK_MONOTONIC unless a
// test installs its own; null restores it).
void setSampleClock(int64_t (*clock)());
int64_t sampleClockNanoseconds();
// The wall-clock time (nanoseconds since the Unix epoch) of a time of the
// sample clock, from the two clocks read now.
int64_t unixNanosecondsOf(int64_t sampleNs);

// statvfs, replaceable by tests, whose mount points are not real.
typedef int (*StatvfsFunction)(const char* path, struct statvfs* figures);
void setStatvfsFunction(StatvfsFunction function);
int callStatvfs(const char* path, struct statvfs* figures);

enum ReadResult {
    READ_OK,
    READ_GONE,    // the file, or the process it belongs to, no longer exists
    READ_DENIED   // it exists but cannot be read (permission, not a file, I/O error)
};

// Running out of descriptors or memory (EMFILE, ENFILE, ENOMEM) is the
// layer's failure, not "this figure cannot be read": every open and read here
// notes it, and the call that began the reading (an enumeration, a
// collection) asks at its end and answers a failure status instead of figures
// that read like vanished instances.
//
// Opens the directory `name` under `directoryFd`, for its files to be opened
// relative to it (a process's own directory, its task directory); -1 when it
// cannot be, with the failure noted as every open here notes it.
int openDirectoryAt(int directoryFd, const char* name);
void clearExhaustion();
bool exhaustionNoted();

// Reads the file `name` under the directory `directoryFd` whole into `buffer`,
// whose capacity is kept for the next read.  The text is NUL-terminated, as
// std::string always is.
ReadResult readFileAt(int directoryFd, const char* name, std::string& buffer);

// Calls `visit` for every entry of the directory `name` under `directoryFd`
// (without "." and ".."); the return says whether the directory could be read.
ReadResult listDirectoryAt(int directoryFd, const char* name,
                           void (*visit)(const char* entry, void* context), void* context);
// The same over a directory already open as `fd`, which is left open, so that
// its entries' files can then be opened relative to it.
ReadResult listOpenDirectory(int fd, void (*visit)(const char* entry, void* context),
                             void* context);

// The system-wide files.  A collection begins with beginCollection(); each file
// is then read on its first request and served from memory afterwards, so that
// objects sharing a file (Processor and System share /proc/stat) read it once.
enum ProcFile {
    PROC_STAT,
    PROC_UPTIME,
    PROC_MEMINFO,
    PROC_VMSTAT,
    PROC_LOADAVG,
    PROC_DISKSTATS,
    PROC_NET_DEV,
    PROC_SWAPS,
    PROC_INTERRUPTS,
    PROC_MOUNTINFO,
    PROC_SOFTIRQS,
    PROC_NET_SNMP,
    PROC_NET_SNMP6,
    PROC_NET_TCP,
    PROC_NET_TCP6,
    PROC_FILE_COUNT
};
void beginCollection();
// Counts the collections begun, so that a caller can tell whether the cached
// texts are still those of its own reading.
unsigned collectionNumber();
// The file's text, or null when it cannot be read.
const std::string* procFile(ProcFile file);
// The process ids under /proc, ascending, listed once per collection.
const std::vector<int>& processIds();
// The same, listed afresh and not kept.
std::vector<int> listProcessIds();
// Paths under /proc, "pid" or "pid/name", and under a task directory,
// "tid/name", written without snprintf, since a collection builds several per
// process.
struct ProcPath {
    char text[64];
};
ProcPath processPath(int pid, const char* name);

// /proc/uptime as nanoseconds; false when unreadable.
bool uptimeNanoseconds(int64_t* uptime);
// Nanoseconds per clock tick of /proc/[pid]/stat.
int64_t nanosecondsPerTick();

// Pointer walking.  Each reader skips blanks (spaces and tabs) first, advances
// `p` past what it read and answers false, leaving `p` alone, when no number
// starts there.  Values beyond the type saturate.
bool readUnsigned(const char*& p, uint64_t& value);
bool readSigned(const char*& p, int64_t& value);
const char* skipBlanks(const char* p);
// The start of the next line, or the terminating NUL.
const char* nextLine(const char* p);
int64_t toSigned(uint64_t value);

// Over "Key: number" lines (meminfo, status) or "key number" lines (vmstat):
// for the first line that starts with keys[i] (given with its separator, such
// as "VmRSS:" or "pgfault ") and a number, the number goes to values[i] and
// found[i] is set.  Keys not present keep found[i] false.
void scanKeyedNumbers(const char* text, const char* const* keys, int keyCount,
                      uint64_t* values, bool* found);

// A name taken from the system, made safe for counter paths, terminals and
// every output form: '(' becomes '[', ')' becomes ']', '#', '/' and '\'
// become '_', every control byte (below 0x20, and 0x7f) and every byte that
// is not part of a valid UTF-8 character becomes '?'.  An empty name becomes
// EMPTY_NAME_STAND_IN, and "_Total" and "UNNAMED", which the program reserves,
// become "[_Total]" and "[UNNAMED]".  Every object names its instances
// through here.
std::string instanceNameFromSystem(const char* begin, size_t length);
const char EMPTY_NAME_STAND_IN[] = "[empty]";

// Decodes the octal escapes (\040 for a blank) of /proc/swaps and mountinfo.
std::string decodeOctalEscapes(const char* begin, size_t length);

// The fields of /proc/[pid]/stat or /proc/[pid]/task/[tid]/stat that the
// objects use.  The command name runs from the first '(' to the last ')', so
// that blanks and parentheses inside it do not shift the fields after it.
struct TaskStat {
    const char* name;
    size_t nameLength;
    int64_t parentId;       // field 4
    uint64_t minorFaults;   // field 10
    uint64_t majorFaults;   // field 12
    uint64_t userTicks;     // field 14
    uint64_t systemTicks;   // field 15
    int64_t threadCount;    // field 20
    uint64_t startTicks;    // field 22
    uint64_t virtualBytes;  // field 23
};
bool parseTaskStat(const char* text, TaskStat& stat);

// /proc/[pid]/stat, read and parsed at most once per collection: Process and
// Thread both need it.  Read under `directory`, the process's own directory,
// when one is open (so that it is the same process as the other files read
// there), otherwise by its path.  Null when it cannot be read or parsed.
const TaskStat* processStat(int pid, int directory);

#endif

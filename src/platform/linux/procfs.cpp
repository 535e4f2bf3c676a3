#include "platform/linux/procfs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_map>

#include "platform/utf8.h"

namespace {

struct Root {
    std::string path;
    int fd;
    bool tried;
};

Root procRoot = {"/proc", -1, false};
Root sysRoot = {"/sys", -1, false};

int64_t monotonicClock()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t (*sampleClock)() = monotonicClock;
StatvfsFunction statvfsFunction = statvfs;

struct ProcessStat {
    std::string text;
    TaskStat fields;
};

struct SourceCache {
    std::string text[PROC_FILE_COUNT];
    bool loaded[PROC_FILE_COUNT];
    bool readable[PROC_FILE_COUNT];
    std::vector<int> pids;
    bool pidsListed;
    // Per pid: its stat, or null once it proved unreadable.  Held by pointer,
    // since the parsed name points into the text.
    std::unordered_map<int, std::unique_ptr<ProcessStat>> processStats;
    unsigned collections;
};

SourceCache cache;

const char* const procFileNames[PROC_FILE_COUNT] = {
    "stat", "uptime", "meminfo", "vmstat", "loadavg", "diskstats",
    "net/dev", "swaps", "interrupts", "self/mountinfo", "softirqs",
    "net/snmp", "net/snmp6", "net/tcp", "net/tcp6",
};

bool exhausted = false;

// True, and noted, when `error` says the system or the process ran out.
bool noteExhaustion(int error)
{
    if (error == EMFILE || error == ENFILE || error == ENOMEM) {
        exhausted = true;
        return true;
    }
    return false;
}

void setRoot(Root& root, const char* path)
{
    if (root.fd >= 0) {
        close(root.fd);
    }
    root.path = path;
    root.fd = -1;
    root.tried = false;
    beginCollection();
}

int rootDirectory(Root& root)
{
    if (!root.tried) {
        root.fd = open(root.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // A root missing stays missing; one that could not be opened for
        // want of descriptors is tried again by the next reading.
        root.tried = root.fd >= 0 || !noteExhaustion(errno);
    }
    return root.fd;
}

ReadResult resultOfError(int error)
{
    // A process that exited between the listing and the read shows as ENOENT
    // (its directory is gone) or ESRCH (it went while we held the directory).
    noteExhaustion(error);
    return (error == ENOENT || error == ESRCH) ? READ_GONE : READ_DENIED;
}

void collectPid(const char* entry, void* context)
{
    const char* p = entry;
    uint64_t pid;
    if (*p < '0' || *p > '9' || !readUnsigned(p, pid) || *p != '\0' || pid > 0x7fffffff) {
        return;
    }
    static_cast<std::vector<int>*>(context)->push_back(static_cast<int>(pid));
}

} // namespace

int openDirectoryAt(int directoryFd, const char* name)
{
    int fd = openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        resultOfError(errno);
    }
    return fd;
}

void clearExhaustion()
{
    exhausted = false;
}

bool exhaustionNoted()
{
    return exhausted;
}

void setProcRoot(const char* path)
{
    setRoot(procRoot, path);
}

void setSysRoot(const char* path)
{
    setRoot(sysRoot, path);
}

bool procIsLive()
{
    return procRoot.path == "/proc";
}

int procDirectory()
{
    return rootDirectory(procRoot);
}

int sysDirectory()
{
    return rootDirectory(sysRoot);
}

void setSampleClock(int64_t (*clock)())
{
    sampleClock = clock ? clock : monotonicClock;
}

int64_t sampleClockNanoseconds()
{
    return sampleClock();
}

int64_t unixNanosecondsOf(int64_t sampleNs)
{
    struct timespec wall;
    clock_gettime(CLOCK_REALTIME, &wall);
    int64_t now = sampleClock();
    return static_cast<int64_t>(wall.tv_sec) * 1000000000 + wall.tv_nsec - (now - sampleNs);
}

void setStatvfsFunction(StatvfsFunction function)
{
    statvfsFunction = function ? function : statvfs;
}

int callStatvfs(const char* path, struct statvfs* figures)
{
    return statvfsFunction(path, figures);
}

ReadResult readFileAt(int directoryFd, const char* name, std::string& buffer)
{
    if (directoryFd < 0) {
        return READ_DENIED;
    }
    int fd = openat(directoryFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return resultOfError(errno);
    }
    // Read through a scratch block, so that the buffer is never filled with
    // zeros only to be overwritten.
    static char scratch[16384];
    buffer.clear();
    for (;;) {
        ssize_t got = read(fd, scratch, sizeof scratch);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            close(fd);
            buffer.clear();
            return resultOfError(error);
        }
        if (got == 0) {
            break;
        }
        buffer.append(scratch, static_cast<size_t>(got));
    }
    close(fd);
    return READ_OK;
}

ReadResult listDirectoryAt(int directoryFd, const char* name,
                           void (*visit)(const char* entry, void* context), void* context)
{
    if (directoryFd < 0) {
        return READ_DENIED;
    }
    int fd = openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return resultOfError(errno);
    }
    ReadResult result = listOpenDirectory(fd, visit, context);
    close(fd);
    return result;
}

ReadResult listOpenDirectory(int fd, void (*visit)(const char* entry, void* context),
                             void* context)
{
    // The entries are read straight into a block on the stack: no directory
    // stream to allocate, and `fd` stays the caller's.
    alignas(struct dirent64) char block[16384];
    for (;;) {
        ssize_t got = getdents64(fd, block, sizeof block);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return resultOfError(errno);
        }
        if (got == 0) {
            return READ_OK;
        }
        for (ssize_t at = 0; at < got;) {
            const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(block + at);
            at += entry->d_reclen;
            const char* entryName = entry->d_name;
            if (entryName[0] == '.' &&
                (entryName[1] == '\0' || (entryName[1] == '.' && entryName[2] == '\0'))) {
                continue;
            }
            visit(entryName, context);
        }
    }
}

void beginCollection()
{
    for (int i = 0; i < PROC_FILE_COUNT; ++i) {
        cache.loaded[i] = false;
    }
    cache.pidsListed = false;
    cache.processStats.clear();
    ++cache.collections;
}

unsigned collectionNumber()
{
    return cache.collections;
}

const std::string* procFile(ProcFile file)
{
    if (!cache.loaded[file]) {
        cache.loaded[file] = true;
        cache.readable[file] =
            readFileAt(procDirectory(), procFileNames[file], cache.text[file]) == READ_OK;
    }
    return cache.readable[file] ? &cache.text[file] : nullptr;
}

std::vector<int> listProcessIds()
{
    std::vector<int> pids;
    listDirectoryAt(procDirectory(), ".", collectPid, &pids);
    std::sort(pids.begin(), pids.end());
    return pids;
}

const std::vector<int>& processIds()
{
    if (!cache.pidsListed) {
        cache.pidsListed = true;
        cache.pids = listProcessIds();
    }
    return cache.pids;
}

namespace {

// Each appends at `end`, up to `limit`, and returns the new end.
char* appendNumber(char* end, char* limit, int value)
{
    return std::to_chars(end, limit, value).ptr;
}

char* appendPart(char* end, char* limit, const char* text)
{
    while (*text != '\0' && end < limit) {
        *end++ = *text++;
    }
    return end;
}

} // namespace

ProcPath processPath(int pid, const char* name)
{
    ProcPath path;
    char* limit = path.text + sizeof path.text - 1;
    char* end = appendNumber(path.text, limit, pid);
    if (*name != '\0') {
        end = appendPart(appendPart(end, limit, "/"), limit, name);
    }
    *end = '\0';
    return path;
}

const TaskStat* processStat(int pid, int directory)
{
    auto found = cache.processStats.find(pid);
    if (found != cache.processStats.end()) {
        return found->second ? &found->second->fields : nullptr;
    }
    std::unique_ptr<ProcessStat> stat(new ProcessStat());
    ReadResult result;
    if (directory >= 0) {
        result = readFileAt(directory, "stat", stat->text);
    } else {
        result = readFileAt(procDirectory(), processPath(pid, "stat").text, stat->text);
    }
    if (result != READ_OK || !parseTaskStat(stat->text.c_str(), stat->fields)) {
        stat.reset();
    }
    ProcessStat* kept = (cache.processStats[pid] = std::move(stat)).get();
    return kept ? &kept->fields : nullptr;
}

bool uptimeNanoseconds(int64_t* uptime)
{
    const std::string* text = procFile(PROC_UPTIME);
    if (!text) {
        return false;
    }
    const char* p = text->c_str();
    uint64_t seconds;
    if (!readUnsigned(p, seconds)) {
        return false;
    }
    int64_t fraction = 0;
    if (*p == '.') {
        ++p;
        int64_t scale = 100000000;
        for (; *p >= '0' && *p <= '9'; ++p) {
            fraction += (*p - '0') * scale;
            scale /= 10;
        }
    }
    *uptime = toSigned(seconds) * 1000000000 + fraction;
    return true;
}

int64_t nanosecondsPerTick()
{
    static int64_t perTick = 0;
    if (perTick == 0) {
        long ticks = sysconf(_SC_CLK_TCK);
        perTick = 1000000000 / (ticks > 0 ? ticks : 100);
    }
    return perTick;
}

const char* skipBlanks(const char* p)
{
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}

bool readUnsigned(const char*& p, uint64_t& value)
{
    const char* q = skipBlanks(p);
    if (*q < '0' || *q > '9') {
        return false;
    }
    // The limits are constants, so that no digit costs a division.
    const uint64_t lastSafe = UINT64_MAX / 10;
    const unsigned lastDigit = static_cast<unsigned>(UINT64_MAX % 10);
    uint64_t result = 0;
    for (; *q >= '0' && *q <= '9'; ++q) {
        unsigned digit = static_cast<unsigned>(*q - '0');
        bool overflows = result > lastSafe || (result == lastSafe && digit > lastDigit);
        result = overflows ? UINT64_MAX : result * 10 + digit;
    }
    value = result;
    p = q;
    return true;
}

bool readSigned(const char*& p, int64_t& value)
{
    const char* q = skipBlanks(p);
    bool negative = *q == '-';
    if (negative) {
        ++q;
    }
    uint64_t magnitude;
    if (!readUnsigned(q, magnitude)) {
        return false;
    }
    int64_t result = toSigned(magnitude);
    value = negative ? -result : result;
    p = q;
    return true;
}

int64_t toSigned(uint64_t value)
{
    return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

const char* nextLine(const char* p)
{
    const char* end = strchrnul(p, '\n');
    return *end == '\n' ? end + 1 : end;
}

// Each key is looked for on its own with strstr, which skips the lines that
// hold none far faster than walking them one by one: a thread's status file is
// some fifty lines, and its context switches are the last two.
void scanKeyedNumbers(const char* text, const char* const* keys, int keyCount,
                      uint64_t* values, bool* found)
{
    for (int i = 0; i < keyCount; ++i) {
        found[i] = false;
        size_t length = strlen(keys[i]);
        for (const char* at = strstr(text, keys[i]); at != nullptr; at = strstr(at + 1, keys[i])) {
            if (at != text && at[-1] != '\n') {
                continue;  // inside a line, as "voluntary_" is in "nonvoluntary_"
            }
            const char* p = at + length;
            if (readUnsigned(p, values[i])) {
                found[i] = true;
                break;
            }
        }
    }
}

namespace {

} // namespace

std::string instanceNameFromSystem(const char* begin, size_t length)
{
    std::string name;
    name.reserve(length);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(begin);
    size_t at = 0;
    while (at < length) {
        size_t sequence = utf8SequenceAt(bytes + at, length - at);
        if (sequence > 1) {
            name.append(begin + at, sequence);
            at += sequence;
            continue;
        }
        char c = begin[at++];
        // A byte that starts no UTF-8 character would be printed alike with
        // its neighbours (U+FFFD) by the forms for other programs, while the
        // paths tell them apart: two series of one name.
        if (sequence == 0) {
            name += '?';
            continue;
        }
        switch (c) {
        case '(':
            c = '[';
            break;
        case ')':
            c = ']';
            break;
        case '#':
        case '/':
        case '\\':
            c = '_';
            break;
        default:
            // Control bytes would reach the viewer's terminal (an escape that
            // retitles or clears it) or forge report lines (a newline); a
            // Windows name cannot hold them.
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                c = '?';
            }
            break;
        }
        name += c;
    }
    // An empty name would end the name list it is listed in; "_Total" names
    // the sum and "UNNAMED" an object without instances.  The system's
    // thing keeps its own name, in brackets.
    if (name.empty()) {
        return EMPTY_NAME_STAND_IN;
    }
    if (name == "_Total" || name == "UNNAMED") {
        return "[" + name + "]";
    }
    return name;
}

std::string decodeOctalEscapes(const char* begin, size_t length)
{
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (begin[i] == '\\' && i + 3 < length) {
            const char* d = begin + i + 1;
            if (d[0] >= '0' && d[0] <= '3' && d[1] >= '0' && d[1] <= '7' && d[2] >= '0' &&
                d[2] <= '7') {
                text += static_cast<char>((d[0] - '0') * 64 + (d[1] - '0') * 8 + (d[2] - '0'));
                i += 3;
                continue;
            }
        }
        text += begin[i];
    }
    return text;
}

namespace {

// Steps over one number as readSigned would read it, without its value.
bool skipNumber(const char*& p)
{
    const char* q = skipBlanks(p);
    q += *q == '-';
    if (*q < '0' || *q > '9') {
        return false;
    }
    while (*q >= '0' && *q <= '9') {
        ++q;
    }
    p = q;
    return true;
}

} // namespace

bool parseTaskStat(const char* text, TaskStat& stat)
{
    const char* open = strchr(text, '(');
    const char* close = strrchr(text, ')');
    if (!open || !close || close < open) {
        return false;
    }
    stat.name = open + 1;
    stat.nameLength = static_cast<size_t>(close - open - 1);
    const char* p = skipBlanks(close + 1);
    // Field 3, the state, is a letter; the numbers start at field 4.
    if (*p == '\0') {
        return false;
    }
    ++p;
    // The fields kept, from 4 to 23; the others are only stepped over.
    const uint32_t kept = 1u << 4 | 1u << 10 | 1u << 12 | 1u << 14 | 1u << 15 | 1u << 20 |
                          1u << 22 | 1u << 23;
    for (int field = 4; field <= 23; ++field) {
        if ((kept & 1u << field) == 0) {
            if (!skipNumber(p)) {
                return false;
            }
            continue;
        }
        int64_t value;
        if (!readSigned(p, value)) {
            return false;
        }
        uint64_t unsignedValue = value < 0 ? 0 : static_cast<uint64_t>(value);
        switch (field) {
        case 4:
            stat.parentId = value;
            break;
        case 10:
            stat.minorFaults = unsignedValue;
            break;
        case 12:
            stat.majorFaults = unsignedValue;
            break;
        case 14:
            stat.userTicks = unsignedValue;
            break;
        case 15:
            stat.systemTicks = unsignedValue;
            break;
        case 20:
            stat.threadCount = value;
            break;
        case 22:
            stat.startTicks = unsignedValue;
            break;
        case 23:
            stat.virtualBytes = unsignedValue;
            break;
        default:
            break;
        }
    }
    return true;
}

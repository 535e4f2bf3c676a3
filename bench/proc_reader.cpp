// The bare cost of what one collection of `mirekast -a` reads: every file and
// directory that the Linux layer opens for it, each read once into one reused
// buffer, with no parsing beyond finding the next file to read and nothing
// printed.  It stands for the least any program could do to report the same
// counters.  With -v it says on standard error what it read.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

char buffer[1 << 16];
std::string text;  // the files whose lines lead to more files
long filesRead = 0;
long directoriesListed = 0;

bool readInto(int directory, const char* name, std::string* keep)
{
    int fd = openat(directory, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    if (keep != nullptr) {
        keep->clear();
    }
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        if (keep != nullptr) {
            keep->append(buffer, static_cast<size_t>(got));
        }
    }
    close(fd);
    ++filesRead;
    return true;
}

// The entries of the open directory `fd`, or only how many there are when
// `names` is null.  Read with getdents64 straight into a block, as the layer
// lists them: no directory stream, whose checks of the descriptor cost two
// calls a listing.
long listOpenDirectory(int fd, std::vector<std::string>* names)
{
    alignas(struct dirent64) char block[16384];
    long entries = 0;
    ssize_t got;
    while ((got = getdents64(fd, block, sizeof block)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(block + at);
            at += entry->d_reclen;
            if (entry->d_name[0] == '.') {
                continue;
            }
            ++entries;
            if (names != nullptr) {
                names->push_back(entry->d_name);
            }
        }
    }
    ++directoriesListed;
    return entries;
}

long listDirectory(int directory, const char* name, std::vector<std::string>* names)
{
    int fd = openat(directory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    long entries = listOpenDirectory(fd, names);
    close(fd);
    return entries;
}

bool allDigits(const std::string& name)
{
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

struct Device {
    unsigned major;
    unsigned minor;
};

} // namespace

int main(int argc, char** argv)
{
    bool verbose = argc > 1 && strcmp(argv[1], "-v") == 0;
    int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int sys = open("/sys", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) {
        perror("/proc");
        return 1;
    }

    // The system-wide files, once each.
    for (const char* name : {"uptime", "meminfo", "vmstat", "loadavg", "interrupts",
                             "swaps", "softirqs", "net/snmp", "net/snmp6", "net/tcp",
                             "net/tcp6"}) {
        readInto(proc, name, nullptr);
    }

    // Processor Information: each NUMA node's CPUs, and per CPU its
    // frequencies and idle states where the machine has them.
    std::vector<std::string> nodes;
    listDirectory(sys, "devices/system/node", &nodes);
    for (const std::string& node : nodes) {
        if (node.compare(0, 4, "node") == 0 && allDigits(node.substr(4))) {
            readInto(sys, ("devices/system/node/" + node + "/cpulist").c_str(), nullptr);
        }
    }
    long cpus = 0;
    if (readInto(proc, "stat", &text)) {  // read once, as the layer reads it
        for (size_t at = text.find("\ncpu"); at != std::string::npos; at = text.find("\ncpu", at + 1)) {
            std::string cpu = "devices/system/cpu/cpu" +
                              text.substr(at + 4, text.find(' ', at) - at - 4) + "/";
            ++cpus;
            if (readInto(sys, (cpu + "cpufreq/scaling_cur_freq").c_str(), nullptr)) {
                readInto(sys, (cpu + "cpufreq/cpuinfo_max_freq").c_str(), nullptr);
                readInto(sys, (cpu + "cpufreq/base_frequency").c_str(), nullptr);
            }
            for (int state = 0;; ++state) {
                std::string prefix = cpu + "cpuidle/state" + std::to_string(state) + "/";
                if (!readInto(sys, (prefix + "name").c_str(), nullptr)) {
                    break;
                }
                readInto(sys, (prefix + "usage").c_str(), nullptr);
                readInto(sys, (prefix + "time").c_str(), nullptr);
            }
        }
    }

    // Network interfaces: their link speeds.
    if (readInto(proc, "net/dev", &text)) {
        for (size_t line = text.find('\n', text.find('\n') + 1); line != std::string::npos;
             line = text.find('\n', line + 1)) {
            size_t begin = text.find_first_not_of(' ', line + 1);
            size_t colon = text.find(':', line + 1);
            if (begin == std::string::npos || colon == std::string::npos) {
                break;
            }
            std::string path = "class/net/" + text.substr(begin, colon - begin) + "/speed";
            readInto(sys, path.c_str(), nullptr);
        }
    }

    // Disks: which are whole disks, and the free space of their filesystems.
    std::vector<Device> devices;
    if (readInto(proc, "diskstats", &text)) {
        const char* p = text.c_str();
        while (*p != '\0') {
            unsigned major, minor;
            char name[64];
            if (sscanf(p, "%u %u %63s", &major, &minor, name) == 3) {
                devices.push_back(Device{major, minor});
                struct stat status;
                std::string path = std::string("block/") + name + "/device";
                fstatat(sys, "block", &status, 0);
                fstatat(sys, path.c_str(), &status, 0);
            }
            const char* end = strchr(p, '\n');
            p = end != nullptr ? end + 1 : p + strlen(p);
        }
    }
    long filesystems = 0;
    if (readInto(proc, "self/mountinfo", &text)) {
        std::vector<Device> seen;
        const char* p = text.c_str();
        while (*p != '\0') {
            unsigned major, minor;
            char point[4096];
            if (sscanf(p, "%*u %*u %u:%u %*s %4095s", &major, &minor, point) == 3) {
                bool known = false;
                bool repeated = false;
                for (const Device& device : devices) {
                    known = known || (device.major == major && device.minor == minor);
                }
                for (const Device& device : seen) {
                    repeated = repeated || (device.major == major && device.minor == minor);
                }
                if (known && !repeated) {
                    seen.push_back(Device{major, minor});
                    struct statvfs figures;
                    statvfs(point, &figures);
                    ++filesystems;
                }
            }
            const char* end = strchr(p, '\n');
            p = end != nullptr ? end + 1 : p + strlen(p);
        }
    }

    // Every process and every thread.
    std::vector<std::string> entries;
    listDirectory(proc, ".", &entries);
    long processes = 0;
    long threads = 0;
    std::vector<std::string> tasks;
    char path[64];
    for (const std::string& entry : entries) {
        if (!allDigits(entry)) {
            continue;
        }
        int directory = openat(proc, entry.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory < 0) {
            continue;
        }
        ++processes;
        readInto(directory, "stat", nullptr);
        readInto(directory, "status", nullptr);
        readInto(directory, "io", nullptr);
        listDirectory(directory, "fd", nullptr);
        // Each thread's files one step from its open task directory.
        tasks.clear();
        int taskDirectory = openat(directory, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (taskDirectory >= 0) {
            listOpenDirectory(taskDirectory, &tasks);
            for (const std::string& task : tasks) {
                snprintf(path, sizeof path, "%s/stat", task.c_str());
                readInto(taskDirectory, path, nullptr);
                snprintf(path, sizeof path, "%s/status", task.c_str());
                readInto(taskDirectory, path, nullptr);
                ++threads;
            }
            close(taskDirectory);
        }
        close(directory);
    }
    if (verbose) {
        fprintf(stderr, "read %ld files, listed %ld directories: %ld processes, %ld threads, "
                        "%ld filesystems, %ld CPUs\n",
                filesRead, directoriesListed, processes, threads, filesystems, cpus);
    }
    return 0;
}

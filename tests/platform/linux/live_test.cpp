// The layer and the shipped program on this machine, against the system's
// own view: the process names and pids under /proc, MemAvailable, the online
// CPUs.  Processes start and end while a test runs (other tests run beside
// it), so the view is taken before and after, and what neither shows is
// bounded by the number of processes the kernel created meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "layer_fixture.h"
#include "support/forked_process.h"

namespace linuxtest {
namespace {

bool readText(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

// A name as the layer shows it (other tests run processes of hostile names
// beside this one).
std::string pathSafe(std::string name)
{
    for (char& c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        } else if (c == '(') {
            c = '[';
        } else if (c == ')') {
            c = ']';
        } else if (c == '#' || c == '/' || c == '\\') {
            c = '_';
        }
    }
    return name;
}

// What of a name stays put.  A kernel worker's name ends in the work queue it
// served last ("kworker/1:2-events") or serves now ("kworker/1:2+events"),
// which changes at any time: only the part before it is compared.
bool kernelWorker(const std::string& name)
{
    return name.compare(0, 8, "kworker_") == 0;
}

std::string lasting(const std::string& name)
{
    if (kernelWorker(name)) {
        return name.substr(0, name.find_first_of("-+"));
    }
    return name;
}

struct ProcessView {
    std::string name;  // path-safe, as lasting() keeps it
    std::string start; // stat field 22, as text
};

// Every process under /proc by pid: its comm and start time.
std::map<int, ProcessView> processesNow()
{
    std::map<int, ProcessView> view;
    DIR* proc = opendir("/proc");
    if (!proc) {
        ADD_FAILURE() << "cannot list /proc";
        return view;
    }
    while (struct dirent* entry = readdir(proc)) {
        char* end;
        long pid = strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) {
            continue;
        }
        std::string dir = std::string("/proc/") + entry->d_name;
        std::string comm, stat;
        if (!readText(dir + "/comm", comm) || !readText(dir + "/stat", stat) || comm.empty()) {
            continue;  // it ended meanwhile
        }
        if (comm.back() == '\n') {
            comm.pop_back();
        }
        size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(stat.substr(close + 1));
        std::string field;
        for (int n = 3; n <= 22 && fields >> field; ++n) {
        }
        view[static_cast<int>(pid)] = ProcessView{lasting(pathSafe(comm)), field};
    }
    closedir(proc);
    return view;
}

// The kernel's count of processes (and threads) created since boot.
long long creationsSoFar()
{
    std::string stat;
    EXPECT_TRUE(readText("/proc/stat", stat));
    size_t at = stat.find("\nprocesses ");
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? 0 : atoll(stat.c_str() + at + 11);
}

// The views before and after something that read the processes.  What the
// reading saw may differ from both only by the processes that started or
// ended in between: the budget.
struct Churn {
    std::map<int, ProcessView> before, after;
    long long created;

    long long budget() const
    {
        long long ended = 0;
        for (const auto& process : before) {
            auto a = after.find(process.first);
            ended += a == after.end() || a->second.start != process.second.start;
        }
        return created + ended;
    }

    bool stable(int pid) const
    {
        auto b = before.find(pid);
        auto a = after.find(pid);
        return b != before.end() && a != after.end() && b->second.name == a->second.name &&
               b->second.start == a->second.start;
    }
    // Whether either view shows `pid` with `name`.
    bool shows(int pid, const std::string& name) const
    {
        auto b = before.find(pid);
        auto a = after.find(pid);
        return (b != before.end() && b->second.name == name) ||
               (a != after.end() && a->second.name == name);
    }
    std::multiset<std::string> stableNames() const
    {
        std::multiset<std::string> names;
        for (const auto& process : before) {
            if (stable(process.first)) {
                names.insert(process.second.name);
            }
        }
        return names;
    }
    // The pids of either view with each name.
    std::map<std::string, std::set<int>> pidsByName() const
    {
        std::map<std::string, std::set<int>> names;
        for (const auto* view : {&before, &after}) {
            for (const auto& process : *view) {
                names[process.second.name].insert(process.first);
            }
        }
        return names;
    }
};

template <typename Reading>
Churn around(Reading reading)
{
    Churn churn;
    long long first = creationsSoFar();
    churn.before = processesNow();
    reading();
    churn.after = processesNow();
    churn.created = creationsSoFar() - first;
    return churn;
}

// Runs the shipped binary with `arguments`, no terminal on standard input.
ChildResult runProgram(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = {MIREKAST_BINARY};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return runExecutable(MIREKAST_BINARY, args);
}

// "Object : Instance : Counter = value" lines of -l -d for one counter.
std::vector<std::pair<std::string, long long>> listedValues(const std::string& out,
                                                            const std::string& object,
                                                            const std::string& counter)
{
    std::vector<std::pair<std::string, long long>> values;
    std::istringstream lines(out);
    std::string line;
    std::string prefix = object + " : ";
    std::string middle = " : " + counter + " = ";
    while (std::getline(lines, line)) {
        size_t at = line.rfind(middle);
        if (line.compare(0, prefix.size(), prefix) != 0 || at == std::string::npos) {
            ADD_FAILURE() << "unexpected line: " << line;
            continue;
        }
        values.emplace_back(line.substr(prefix.size(), at - prefix.size()),
                            atoll(line.c_str() + at + middle.size()));
    }
    return values;
}

long long memAvailableKb()
{
    std::string meminfo;
    EXPECT_TRUE(readText("/proc/meminfo", meminfo));
    size_t at = meminfo.find("MemAvailable:");
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? -1 : atoll(meminfo.c_str() + at + 13);
}

// The names of the online CPUs from /sys ("0-3,6"), then "_Total".
std::vector<std::string> onlineCpus()
{
    std::string online;
    EXPECT_TRUE(readText("/sys/devices/system/cpu/online", online));
    std::vector<std::string> names;
    std::istringstream ranges(online);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        int first = 0, last = 0;
        if (sscanf(range.c_str(), "%d-%d", &first, &last) == 1) {
            last = first;
        }
        for (int cpu = first; cpu <= last; ++cpu) {
            names.push_back(std::to_string(cpu));
        }
    }
    names.push_back("_Total");
    return names;
}

TEST(LinuxLiveTest, ProcessInstancesAreTheCommandNamesUnderProc)
{
    ItemLists lists;
    Churn churn = around([&lists] { lists = enumerateItems("Process"); });
    ASSERT_EQ(lists.status, ERROR_SUCCESS);
    ASSERT_FALSE(lists.instances.empty());
    EXPECT_EQ(lists.instances.back(), "_Total");
    std::multiset<std::string> listed;
    for (size_t i = 0; i + 1 < lists.instances.size(); ++i) {
        listed.insert(lasting(lists.instances[i]));
    }

    // Every process that was there before and after, under its name.
    std::multiset<std::string> stable = churn.stableNames();
    ASSERT_FALSE(stable.empty());
    for (const std::string& name : std::set<std::string>(stable.begin(), stable.end())) {
        EXPECT_GE(listed.count(name), stable.count(name)) << name;
    }
    // Names beyond what either view shows are of processes that started (or
    // ran a new program before they ended) meanwhile.
    std::map<std::string, std::set<int>> seen = churn.pidsByName();
    long long unexplained = 0;
    for (const std::string& name : std::set<std::string>(listed.begin(), listed.end())) {
        long long more = static_cast<long long>(listed.count(name)) -
                         static_cast<long long>(seen[name].size());
        unexplained += std::max(0LL, more);
    }
    EXPECT_LE(unexplained, churn.budget());
}

TEST(LinuxLiveTest, ProgramShowsEveryProcessWithItsRealPid)
{
    ChildResult run;
    Churn churn = around([&run] {
        run = runProgram({"-s", "{Process", "-i", "*", "-c", "ID Process}", "-l", "-d"});
    });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The program lists the instances, then collects: between the two a
    // process may end (its row reads -1), and as "name#N" is resolved at the
    // collection, rows of one name may shift to the next process of it.  Each
    // start or end spoils at most two rows; a process that was there
    // throughout is never shown under another name.  A kernel worker renamed
    // between the two reads -1 whatever else happens, so its rows are left
    // out of the count.
    std::map<int, std::string> shown;
    long long spoiled = 0;
    for (const auto& entry : listedValues(run.out, "Process", "ID Process")) {
        if (entry.first == "_Total") {
            continue;
        }
        int pid = static_cast<int>(entry.second);
        std::string name = lasting(entry.first);
        if (pid == -1) {
            spoiled += !kernelWorker(name);
            continue;
        }
        EXPECT_TRUE(shown.emplace(pid, name).second) << "pid " << pid << " twice";
        if (churn.stable(pid)) {
            EXPECT_EQ(name, churn.before.at(pid).name) << "pid " << pid;
        } else if (!churn.shows(pid, name)) {
            ++spoiled;
        }
    }
    int stable = 0;
    for (const auto& process : churn.before) {
        if (churn.stable(process.first)) {
            ++stable;
            spoiled += shown.count(process.first) == 0 && !kernelWorker(process.second.name);
        }
    }
    EXPECT_GT(stable, 0);
    EXPECT_LE(spoiled, 2 * churn.budget());
}

// Within `share` of the range that MemAvailable spanned meanwhile: a few
// percent would hide a kilobyte taken for 1000 bytes.
void expectNear(long long value, long long low, long long high, double share)
{
    double least = static_cast<double>(std::min(low, high)) * (1 - share);
    double most = static_cast<double>(std::max(low, high)) * (1 + share);
    EXPECT_GE(static_cast<double>(value), least);
    EXPECT_LE(static_cast<double>(value), most);
}

TEST(LinuxLiveTest, AvailableBytesAgreesWithMemAvailable)
{
    PDH_HQUERY query = nullptr;
    ASSERT_EQ(PdhOpenQueryA(nullptr, 0, &query), ERROR_SUCCESS);
    PDH_HCOUNTER counter = nullptr;
    ASSERT_EQ(PdhAddCounterA(query, "\\Memory\\Available Bytes", 0, &counter), ERROR_SUCCESS);
    long long before = memAvailableKb();
    ASSERT_EQ(PdhCollectQueryData(query), ERROR_SUCCESS);
    long long after = memAvailableKb();
    PDH_FMT_COUNTERVALUE value;
    ASSERT_EQ(PdhGetFormattedCounterValue(counter, PDH_FMT_LARGE, nullptr, &value), ERROR_SUCCESS);
    expectNear(value.largeValue, before * 1024, after * 1024, 0.015);
    EXPECT_EQ(PdhCloseQuery(query), ERROR_SUCCESS);
}

TEST(LinuxLiveTest, ProgramShowsAvailableMemoryAsMemAvailable)
{
    long long before = memAvailableKb();
    ChildResult run = runProgram({"-s", "{Memory", "-i", "*", "-c", "Available KBytes",
                                 "Available Bytes}", "-l", "-d"});
    long long after = memAvailableKb();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string kbytes, bytes;
    std::getline(lines, bytes);
    std::getline(lines, kbytes);
    const std::string kbytesLine = "Memory : UNNAMED : Available KBytes = ";
    const std::string bytesLine = "Memory : UNNAMED : Available Bytes = ";
    ASSERT_EQ(kbytes.compare(0, kbytesLine.size(), kbytesLine), 0) << run.out;
    ASSERT_EQ(bytes.compare(0, bytesLine.size(), bytesLine), 0) << run.out;
    expectNear(atoll(kbytes.c_str() + kbytesLine.size()), before, after, 0.015);
    // Bytes are a signed 32-bit value: from 2 GiB on they saturate.
    long long shown = atoll(bytes.c_str() + bytesLine.size());
    if (std::min(before, after) * 1024 > 2147483647LL) {
        EXPECT_EQ(shown, 2147483647);
    } else if (std::max(before, after) * 1024 * 1.015 < 2147483647.0) {
        expectNear(shown, before * 1024, after * 1024, 0.015);
    }
}

TEST(LinuxLiveTest, ProcessorHasOneInstancePerOnlineCpuAndTotal)
{
    ItemLists lists = enumerateItems("Processor");
    ASSERT_EQ(lists.status, ERROR_SUCCESS);
    EXPECT_EQ(lists.instances, onlineCpus());
}

TEST(LinuxLiveTest, ProgramShowsProcessorSharesAfterTwoCollections)
{
    ChildResult run =
        runProgram({"-s", "{Processor", "-i", "*", "-c", "% Processor Time}", "-r1", "-l", "-d"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : listedValues(run.out, "Processor", "% Processor Time")) {
        names.push_back(entry.first);
        EXPECT_GE(entry.second, 0) << entry.first;
        EXPECT_LE(entry.second, 100) << entry.first;
    }
    std::vector<std::string> expected = onlineCpus();
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(LinuxLiveTest, ProgramShowsSystemRatesAfterTwoCollections)
{
    // A machine switches contexts many times a second; -1 would be a failure.
    ChildResult run = runProgram({"-s", "{System", "-i", "*", "-c", "Context Switches/sec",
                                 "Process Creations/sec}", "-r1", "-l", "-d"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string switches, creations;
    std::getline(lines, switches);
    std::getline(lines, creations);
    EXPECT_EQ(switches.rfind("System : UNNAMED : Context Switches/sec = ", 0), 0u) << run.out;
    EXPECT_GT(atoll(switches.c_str() + switches.rfind('=') + 1), 0) << run.out;
    EXPECT_EQ(creations.rfind("System : UNNAMED : Process Creations/sec = ", 0), 0u) << run.out;
    EXPECT_GE(atoll(creations.c_str() + creations.rfind('=') + 1), 0) << run.out;
}

} // namespace
} // namespace linuxtest

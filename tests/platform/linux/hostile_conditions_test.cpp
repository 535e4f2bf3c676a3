// The layer under conditions that a user or the machine makes hostile: names
// with control bytes, descriptors or memory running out, a process whose
// files are closed to us.  None of them may pass for an ordinary figure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

#include "driver/memory.h"
#include "layer_fixture.h"
#include "platform/linux/procfs.h"
#include "support/forked_process.h"

// Every operator new of this test program goes through here, so that a test
// can make the n-th one from a point on fail, as it fails when memory runs
// out: the new-handler first, std::bad_alloc when there is none.
static long newCallsToFailAt = 0;

void* operator new(size_t size)
{
    if (newCallsToFailAt > 0 && --newCallsToFailAt == 0) {
        if (std::new_handler handler = std::get_new_handler()) {
            handler();
        }
        throw std::bad_alloc();
    }
    void* block = malloc(size == 0 ? 1 : size);
    if (!block) {
        throw std::bad_alloc();
    }
    return block;
}

// The pair of the operator new above: the compiler cannot tell that they are
// a pair, and says so.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}
#pragma GCC diagnostic pop

namespace linuxtest {
namespace {

const PDH_STATUS INVALID = static_cast<PDH_STATUS>(PDH_INVALID_DATA);
const PDH_STATUS OUT_OF_RESOURCES = static_cast<PDH_STATUS>(PDH_MEMORY_ALLOCATION_FAILURE);

class LinuxHostileTest : public LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        tree_.reset(new TreeCopy(sampleTree("crafted/t0")));
        useTrees(tree_->path() + "/proc", sampleTree("crafted/sys"));
        getrlimit(RLIMIT_NOFILE, &limits_);
    }
    void TearDown() override
    {
        allowDescriptors();
        LayerTest::TearDown();
        tree_.reset();
    }
    const TreeCopy& tree() { return *tree_; }

    // From here on no further descriptor can be opened (EMFILE); the roots
    // of the trees stay open, as in a run that has been going for a while.
    void exhaustDescriptors()
    {
        ASSERT_GE(procDirectory(), 0);
        ASSERT_GE(sysDirectory(), 0);
        int lowestFree = dup(0);
        ASSERT_GE(lowestFree, 0);
        close(lowestFree);
        struct rlimit tight = limits_;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    }
    void allowDescriptors() { setrlimit(RLIMIT_NOFILE, &limits_); }

private:
    std::unique_ptr<TreeCopy> tree_;
    struct rlimit limits_;
};

TEST_F(LinuxHostileTest, ControlBytesInNamesBecomeQuestionMarksInEveryObjectAndPath)
{
    // A process named "e\e]0;T\a\nFAKE\t\x7f": a terminal title, a bell, a
    // forged line, a tab and DEL, beside the characters that paths reserve.
    tree().copyFrom(sampleTree("crafted/t0/proc/300"), "proc/500");
    tree().write("proc/500/stat",
                 "500 (e\x1b]0;T\x07\nFAKE\t\x7f(x)#/) S 1 500 500 0 -1 4194304 100 0 0 0 10 10 "
                 "0 0 20 0 1 0 60000 1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 "
                 "17 0 0 0 0 0 0\n");
    tree().write("proc/500/task/300/stat",
                 "300 (e\x1b]0;T\x07\nFAKE\t\x7f(x)#/) S 1 500 500 0 -1 4194304 100 0 0 0 10 "
                 "10 0 0 20 0 1 0 60000 1000000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 "
                 "0 17 0 0 0 0 0 0\n");
    const std::string safe = "e?]0;T??FAKE??[x]__";
    std::vector<std::string> processes = enumerateItems("Process").instances;
    EXPECT_NE(std::find(processes.begin(), processes.end(), safe), processes.end());
    std::vector<std::string> threads = enumerateItems("Thread").instances;
    EXPECT_NE(std::find(threads.begin(), threads.end(), safe + "/0"), threads.end());
    for (const std::vector<std::string>* names : {&processes, &threads}) {
        for (const std::string& name : *names) {
            for (char c : name) {
                EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    << "a control byte in " << name;
            }
        }
    }
    // The path that a program builds from the listed name finds the process.
    EXPECT_EQ(sampleOnce("\\Process(" + safe + ")\\ID Process").value, 500);
    EXPECT_EQ(sampleOnce("\\Thread(" + safe + "/0)\\ID Process").value, 500);
}

TEST_F(LinuxHostileTest, EmptyReservedAndNonUtf8NamesGetNamesOfTheirOwn)
{
    // Processes 501 to 505, named "", "_Total", "UNNAMED", "a\xff" and
    // "a\xfe", each with one thread; and two interfaces named as the program's
    // reserved names.
    const char* const names[] = {"", "_Total", "UNNAMED", "a\xff", "a\xfe"};
    for (int i = 0; i < 5; i++) {
        std::string pid = std::to_string(501 + i);
        tree().copyFrom(sampleTree("crafted/t0/proc/300"), "proc/" + pid);
        std::string rest = std::string(") S 1 ") + pid +
                           " 0 0 -1 4194304 100 0 0 0 10 10 0 0 20 0 1 0 60000 1000000 100 "
                           "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n";
        tree().write("proc/" + pid + "/stat", pid + " (" + names[i] + rest);
        tree().write("proc/" + pid + "/task/300/stat", "300 (" + std::string(names[i]) + rest);
    }
    tree().write("proc/net/dev",
                 "Inter-|   Receive                                                |  Transmit\n"
                 " face |bytes    packets errs drop fifo frame compressed multicast|bytes    "
                 "packets errs drop fifo colls carrier compressed\n"
                 "UNNAMED:    5000      50    0    0    0     0          0         0     5000      "
                 "50    0    0    0     0       0          0\n"
                 "_Total: 1000000    1000    3    4    0     0          0         0   500000     "
                 "800    5    6    0     0       0          0\n");

    std::vector<std::string> processes = enumerateItems("Process").instances;
    ASSERT_GE(processes.size(), 6u);
    // The empty name does not end the list: everything after it is there, the
    // real total last and alone.
    std::vector<std::string> last(processes.end() - 6, processes.end());
    EXPECT_EQ(last, (std::vector<std::string>{"[empty]", "[_Total]", "[UNNAMED]", "a?", "a?",
                                              "_Total"}));
    EXPECT_EQ(std::count(processes.begin(), processes.end(), "_Total"), 1);
    EXPECT_NE(std::find(processes.begin(), processes.end(), "worker"), processes.end());
    std::vector<std::string> threads = enumerateItems("Thread").instances;
    for (const char* thread : {"[empty]/0", "[_Total]/0", "[UNNAMED]/0", "a?/0"}) {
        EXPECT_NE(std::find(threads.begin(), threads.end(), thread), threads.end()) << thread;
    }
    EXPECT_EQ(enumerateItems("Network Interface").instances,
              (std::vector<std::string>{"[UNNAMED]", "[_Total]"}));

    // Each name reaches its own process; "_Total" reaches the sum of them all.
    EXPECT_EQ(sampleOnce("\\Process([empty])\\ID Process").value, 501);
    EXPECT_EQ(sampleOnce("\\Process([_Total])\\ID Process").value, 502);
    EXPECT_EQ(sampleOnce("\\Process([UNNAMED])\\ID Process").value, 503);
    EXPECT_EQ(sampleOnce("\\Process(a?)\\ID Process").value, 504);
    EXPECT_EQ(sampleOnce("\\Process(a?#1)\\ID Process").value, 505);
    EXPECT_EQ(sampleOnce("\\Thread([empty]/0)\\ID Process").value, 501);
    LONG threadSum = 0;
    for (size_t i = 0; i + 1 < processes.size(); i++) {
        int index = static_cast<int>(std::count(processes.begin(), processes.begin() + i,
                                                processes[i]));
        threadSum += sampleOnce("\\Process(" + processes[i] + "#" + std::to_string(index) +
                                ")\\Thread Count")
                         .value;
    }
    EXPECT_EQ(sampleOnce("\\Process(_Total)\\Thread Count").value, threadSum);
    EXPECT_EQ(sampleOnce("\\Network Interface([UNNAMED])\\Packets Received Errors").value, 0);
    EXPECT_EQ(sampleOnce("\\Network Interface([_Total])\\Packets Received Errors").value, 3);
}

TEST_F(LinuxHostileTest, TotalSumsTheProcessesWhoseFigureCouldBeRead)
{
    // Process 400 ("stuck") has no readable io file; 100 reads 20000 bytes
    // and writes 1000 in two seconds, the others nothing.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER readBytes = add(query, "\\Process(_Total)\\IO Read Bytes/sec");
    PDH_HCOUNTER writeBytes = add(query, "\\Process(_Total)\\IO Write Bytes/sec");
    PDH_HCOUNTER operations = add(query, "\\Process(_Total)\\IO Data Operations/sec");
    PDH_HCOUNTER stuck = add(query, "\\Process(stuck)\\IO Read Bytes/sec");
    collect(query);
    tree().write("proc/100/io", "rchar: 30000\nwchar: 7000\nsyscr: 140\nsyscw: 70\n"
                                "read_bytes: 0\nwrite_bytes: 0\ncancelled_write_bytes: 0\n");
    advance(2);
    collect(query);
    EXPECT_EQ(value(readBytes), 10000);
    EXPECT_EQ(value(writeBytes), 1000);
    EXPECT_EQ(value(operations), 30);
    EXPECT_EQ(fetch(stuck).status, INVALID) << "the unreadable process still fails on its own row";

    // With no process whose figure can be read there is no total.
    tree().remove("proc/100/io");
    tree().remove("proc/2/io");
    tree().remove("proc/300/io");
    tree().remove("proc/301/io");
    EXPECT_EQ(sampleOnce("\\Process(_Total)\\IO Read Bytes/sec").status, INVALID);
}

TEST_F(LinuxHostileTest, EnumerationWithoutDescriptorsFailsInsteadOfListingLess)
{
    ASSERT_EQ(enumerateItems("Process").status, ERROR_SUCCESS);
    exhaustDescriptors();
    EXPECT_EQ(enumerateItems("Process").status, OUT_OF_RESOURCES);
    EXPECT_EQ(enumerateItems("Thread").status, OUT_OF_RESOURCES);
    EXPECT_EQ(enumerateItems("PhysicalDisk").status, OUT_OF_RESOURCES);
    // Objects that read nothing to list still list.
    EXPECT_EQ(enumerateItems("Memory").status, ERROR_SUCCESS);
    allowDescriptors();
    ItemLists lists = enumerateItems("Process");
    EXPECT_EQ(lists.status, ERROR_SUCCESS);
    EXPECT_EQ(lists.instances.size(), 6u) << "five processes and _Total once it can read again";
}

TEST_F(LinuxHostileTest, CollectionWithoutDescriptorsFailsAndKeepsNoHalfSample)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER workingSet = add(query, "\\Process(my [odd] prog])\\Working Set");
    PDH_HCOUNTER processes = add(query, "\\System\\Processes");
    collect(query);
    ASSERT_EQ(value(workingSet), 2048 * 1024);

    exhaustDescriptors();
    EXPECT_EQ(PdhCollectQueryData(query), OUT_OF_RESOURCES);
    // Not "gone" (PDH_CSTATUS_NO_INSTANCE), and not the figure of before.
    Fetched fetched = fetch(workingSet);
    EXPECT_EQ(fetched.status, INVALID);
    EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_INVALID_DATA);
    EXPECT_EQ(fetch(processes).status, INVALID);

    allowDescriptors();
    advance(1);
    collect(query);
    EXPECT_EQ(value(workingSet), 2048 * 1024);
    EXPECT_EQ(value(processes), 5);
}

TEST_F(LinuxHostileTest, ProcessesThatEndAreStillNoFailure)
{
    // ENOENT is a process that went, unlike EMFILE: the collection succeeds.
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER stuck = add(query, "\\Process(stuck)\\Working Set");
    collect(query);
    tree().remove("proc/400");
    EXPECT_EQ(PdhCollectQueryData(query), ERROR_SUCCESS);
    EXPECT_EQ(fetch(stuck).counterStatus, PDH_CSTATUS_NO_INSTANCE);
}

TEST(LinuxAllocationFailure, EveryFailedAllocationInTheLayerEndsAsTheProgramsOutOfMemory)
{
    // The k-th allocation of a Thread listing fails, for each k until the
    // listing needs fewer: each run ends with the program's message and exit
    // code 1, never with std::terminate's abort.
    int ended = 0;
    for (long k = 1; k <= 4000; k = k < 40 ? k + 1 : k * 3 / 2) {
        ChildResult run = runForked([k] {
            setProcRoot(sampleTree("crafted/t0/proc").c_str());
            endOnAnyFailedAllocation();
            newCallsToFailAt = k;
            ItemLists lists = enumerateItems("Thread");
            newCallsToFailAt = 0;
            printf("listed %d\n", static_cast<int>(lists.status));
            exit(0);
        });
        if (run.exitCode == 0) {
            EXPECT_EQ(run.out, "listed 0\n") << "k " << k;
            break;
        }
        EXPECT_EQ(run.signal, 0) << "k " << k << ": " << run.err;
        EXPECT_EQ(run.exitCode, 1) << "k " << k;
        EXPECT_EQ(run.err, "Failed to allocate memory.\n") << "k " << k;
        ++ended;
    }
    EXPECT_GT(ended, 10) << "a Thread listing allocates more than that";
}

} // namespace
} // namespace linuxtest

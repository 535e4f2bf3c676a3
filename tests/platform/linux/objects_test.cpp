// Each object's instances and one-collection values, read from the sample
// trees: the hand-written one (crafted/t0) whose figures are chosen to show
// every rule, and one captured from a real machine.
#include <gtest/gtest.h>

#include <unistd.h>

#include "layer_fixture.h"
#include "platform/linux/procfs.h"

namespace linuxtest {
namespace {

using Names = std::vector<std::string>;

class LinuxObjectsTest : public LayerTest {
protected:
    // The value of a counter that must have one after a single collection.
    LONG one(const std::string& path)
    {
        Fetched fetched = sampleOnce(path);
        EXPECT_EQ(fetched.status, ERROR_SUCCESS) << path;
        EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_VALID_DATA) << path;
        return fetched.status == ERROR_SUCCESS ? fetched.value : -1;
    }
    LONGLONG oneLarge(const std::string& path)
    {
        PDH_HQUERY query = openQuery();
        PDH_HCOUNTER counter = add(query, path);
        collect(query);
        return largeValue(counter);
    }
    // A counter whose fetch must fail after a single collection.
    void expectFails(const std::string& path, DWORD counterStatus = PDH_CSTATUS_INVALID_DATA)
    {
        Fetched fetched = sampleOnce(path);
        EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA)) << path;
        EXPECT_EQ(fetched.counterStatus, counterStatus) << path;
    }
    Names instances(const char* object) { return enumerateItems(object).instances; }
};

const int64_t KB = 1024;

TEST_F(LinuxObjectsTest, ProcessorHasOneInstancePerCpuLineThenTotal)
{
    EXPECT_EQ(instances("Processor"), (Names{"0", "1", "_Total"}));
    // The per-CPU interrupt columns and the "intr" total are counts: one
    // collection gives no rate.
    expectFails("\\Processor(0)\\Interrupts/sec");
    expectFails("\\Processor(_Total)\\% Processor Time");
}

TEST_F(LinuxObjectsTest, ProcessNamesComeFromStatAndAreMadeSafeForPaths)
{
    // By pid: 2 is a kernel thread "kworker/0:1", 100 is "my (odd) prog)",
    // 300 and 301 are both "worker".
    EXPECT_EQ(instances("Process"),
              (Names{"kworker_0:1", "my [odd] prog]", "worker", "worker", "stuck", "_Total"}));
}

TEST_F(LinuxObjectsTest, ProcessWithBlanksAndParenthesesInItsNameKeepsItsFields)
{
    // Field 2 ends at the last ')'; a parser that stopped at the first one
    // would take every later field from the wrong place.
    const std::string p = "\\Process(my [odd] prog])\\";
    EXPECT_EQ(one(p + "ID Process"), 100);
    EXPECT_EQ(one(p + "Creating Process ID"), 1);
    EXPECT_EQ(one(p + "Thread Count"), 1);
    EXPECT_EQ(oneLarge(p + "Virtual Bytes"), 3000000000LL);
    EXPECT_EQ(one(p + "Virtual Bytes"), 2147483647) << "saturates in a LONG";
    EXPECT_EQ(one(p + "Working Set"), 2048 * KB);
    EXPECT_EQ(one(p + "Working Set Peak"), 3072 * KB);
    EXPECT_EQ(one(p + "Virtual Bytes Peak"), 4096 * KB);
    // Committed (VmData + VmStk), not the touched pages (RssAnon + VmSwap).
    EXPECT_EQ(one(p + "Private Bytes"), (8192 + 132) * KB);
    EXPECT_EQ(one(p + "Page File Bytes"), (8192 + 132) * KB);
    EXPECT_EQ(one(p + "Working Set - Private"), 1024 * KB);
    EXPECT_EQ(one(p + "Handle Count"), 3) << "fd entries 0 1 2; not the .keep file";
    // starttime 50000 ticks against an uptime of 1000 s.
    long ticks = sysconf(_SC_CLK_TCK);
    EXPECT_EQ(one(p + "Elapsed Time"), static_cast<LONG>(1000 - 50000 / ticks));
}

TEST_F(LinuxObjectsTest, KernelThreadWithoutMemoryLinesReadsZeroMemory)
{
    const std::string p = "\\Process(kworker_0:1)\\";
    for (const char* counter : {"Working Set", "Working Set Peak", "Virtual Bytes",
                                "Virtual Bytes Peak", "Private Bytes", "Page File Bytes",
                                "Working Set - Private"}) {
        EXPECT_EQ(one(p + counter), 0) << counter;
    }
    EXPECT_EQ(one(p + "ID Process"), 2);
    EXPECT_EQ(one(p + "Creating Process ID"), 2);
}

TEST_F(LinuxObjectsTest, UnreadableIoAndFdFailTheirFetchNotZero)
{
    // Process 400's io cannot be read (here: a directory where the file
    // belongs; for a normal user, another user's process), nor its fd list.
    const std::string p = "\\Process(stuck)\\";
    PDH_HQUERY query = openQuery();
    std::vector<PDH_HCOUNTER> io;
    for (const char* counter : {"IO Read Operations/sec", "IO Write Operations/sec",
                                "IO Read Bytes/sec", "IO Write Bytes/sec",
                                "IO Data Operations/sec", "IO Data Bytes/sec"}) {
        io.push_back(add(query, p + counter));
    }
    PDH_HCOUNTER handles = add(query, p + "Handle Count");
    PDH_HCOUNTER workingSet = add(query, p + "Working Set");
    collect(query);
    advance(1);
    collect(query);
    for (PDH_HCOUNTER counter : io) {
        Fetched fetched = fetch(counter);
        EXPECT_EQ(fetched.status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
        EXPECT_NE(fetched.counterStatus, PDH_CSTATUS_VALID_DATA);
    }
    EXPECT_EQ(fetch(handles).status, static_cast<PDH_STATUS>(PDH_INVALID_DATA));
    EXPECT_EQ(value(workingSet), 500 * KB) << "the readable files still count";
    // The total sums the processes whose figure could be read: 100 has
    // three descriptors, the others none.
    EXPECT_EQ(one("\\Process(_Total)\\Handle Count"), 3);
}

TEST_F(LinuxObjectsTest, ProcessTotalSumsTheProcesses)
{
    EXPECT_EQ(one("\\Process(_Total)\\Thread Count"), 1 + 1 + 1 + 2 + 1);
    EXPECT_EQ(one("\\Process(_Total)\\Working Set"), (0 + 2048 + 500 + 500 + 500) * KB);
    EXPECT_EQ(one("\\Process(_Total)\\Private Bytes"), (0 + 8324 + 1132 + 1132 + 1132) * KB);
    EXPECT_EQ(one("\\Process(_Total)\\Working Set - Private"), (0 + 1024 + 200 + 200 + 200) * KB);
}

TEST_F(LinuxObjectsTest, EqualNamesAreToldApartByIndex)
{
    EXPECT_EQ(one("\\Process(worker)\\ID Process"), 300);
    EXPECT_EQ(one("\\Process(worker#0)\\ID Process"), 300);
    EXPECT_EQ(one("\\Process(worker#1)\\ID Process"), 301);
    EXPECT_EQ(one("\\Process(worker#1)\\Thread Count"), 2);
    expectFails("\\Process(worker#2)\\ID Process", PDH_CSTATUS_NO_INSTANCE);
}

TEST_F(LinuxObjectsTest, ThreadsAreNamedByProcessAndOrdinalInPidThenTidOrder)
{
    EXPECT_EQ(instances("Thread"), (Names{"kworker_0:1/0", "my [odd] prog]/0", "worker/0",
                                          "worker/0", "worker/1", "stuck/0"}));
    EXPECT_EQ(one("\\Thread(worker/1)\\ID Thread"), 302);
    EXPECT_EQ(one("\\Thread(worker/1)\\ID Process"), 301);
    EXPECT_EQ(one("\\Thread(worker/0#1)\\ID Thread"), 301);
    EXPECT_EQ(one("\\Thread(worker/0)\\ID Thread"), 300);
    long ticks = sysconf(_SC_CLK_TCK);
    EXPECT_EQ(one("\\Thread(worker/1)\\Elapsed Time"), static_cast<LONG>(1000 - 60200 / ticks));
    expectFails("\\Thread(worker/1)\\Context Switches/sec");
}

TEST_F(LinuxObjectsTest, MemoryReadsMeminfoInKilobytes)
{
    EXPECT_TRUE(instances("Memory").empty());
    EXPECT_EQ(oneLarge("\\Memory\\Available Bytes"), 4194304LL * KB);
    EXPECT_EQ(one("\\Memory\\Available Bytes"), 2147483647) << "4 GiB saturates in a LONG";
    EXPECT_EQ(one("\\Memory\\Available KBytes"), 4194304);
    EXPECT_EQ(one("\\Memory\\Available MBytes"), 4096);
    EXPECT_EQ(oneLarge("\\Memory\\Committed Bytes"), 3000000LL * KB);
    EXPECT_EQ(oneLarge("\\Memory\\Commit Limit"), (8000000LL + 2000000) * KB);
    EXPECT_EQ(one("\\Memory\\% Committed Bytes In Use"), 30);
    EXPECT_EQ(one("\\Memory\\Cache Bytes"), (900000 + 100000 - 50000) * KB) << "less Shmem";
    EXPECT_EQ(one("\\Memory\\Free & Zero Page List Bytes"), 1000000 * KB);
    expectFails("\\Memory\\Page Faults/sec");
}

TEST_F(LinuxObjectsTest, MemoryLineMissingFailsOnlyItsCounters)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    tree.write("proc/meminfo", "MemTotal:        8000000 kB\n"
                               "MemFree:         1000000 kB\n"
                               "Committed_AS:    3000000 kB\n");
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    expectFails("\\Memory\\Available Bytes");
    expectFails("\\Memory\\Commit Limit");  // SwapTotal is missing
    expectFails("\\Memory\\Cache Bytes");
    EXPECT_EQ(one("\\Memory\\Free & Zero Page List Bytes"), 1000000 * KB);
    EXPECT_EQ(oneLarge("\\Memory\\Committed Bytes"), 3000000LL * KB);
}

// Files are read through a scratch block a fraction of this size: the lines
// at the end must arrive whole.
TEST_F(LinuxObjectsTest, FilesLongerThanOneReadAreReadWhole)
{
    TreeCopy tree(sampleTree("crafted/t0"));
    std::string meminfo;
    for (int i = 0; meminfo.size() < 100000; i++) {
        meminfo += "Filler" + std::to_string(i) + ":       " + std::to_string(i) + " kB\n";
    }
    meminfo += "MemTotal:        8000000 kB\nMemFree:         1000000 kB\n"
               "MemAvailable:    4194304 kB\n";
    tree.write("proc/meminfo", meminfo);
    useTrees(tree.path() + "/proc", sampleTree("crafted/sys"));
    EXPECT_EQ(one("\\Memory\\Available KBytes"), 4194304);
    EXPECT_EQ(one("\\Memory\\Free & Zero Page List Bytes"), 1000000 * KB);
}

TEST_F(LinuxObjectsTest, SystemCountsProcessesAndReadsLoadavgStatAndUptime)
{
    EXPECT_TRUE(instances("System").empty());
    EXPECT_EQ(one("\\System\\Processes"), 5);
    EXPECT_EQ(one("\\System\\Threads"), 123);
    EXPECT_EQ(one("\\System\\Processor Queue Length"), 1) << "3 running on 2 CPUs";
    EXPECT_EQ(one("\\System\\System Up Time"), 1000);
    expectFails("\\System\\Context Switches/sec");
}

TEST_F(LinuxObjectsTest, PhysicalDiskListsWholeDisksWithoutPartitionsLoopRamOrMapper)
{
    EXPECT_EQ(instances("PhysicalDisk"), (Names{"sda", "nvme0n1", "_Total"}));
    EXPECT_EQ(one("\\PhysicalDisk(sda)\\Current Disk Queue Length"), 2);
    EXPECT_EQ(one("\\PhysicalDisk(_Total)\\Current Disk Queue Length"), 2 + 0);
    expectFails("\\PhysicalDisk(sda1)\\Current Disk Queue Length", PDH_CSTATUS_NO_INSTANCE);
}

TEST_F(LinuxObjectsTest, PhysicalDiskWithoutSysfsStillLeavesOutPartitionsLoopAndRam)
{
    useTrees(sampleTree("crafted/t0/proc"), sampleTree("crafted/no-such-sys"));
    EXPECT_EQ(instances("PhysicalDisk"), (Names{"sda", "nvme0n1", "dm-0", "_Total"}));
}

TEST_F(LinuxObjectsTest, LogicalDiskHasOneInstancePerMountedBlockDevice)
{
    mounts["/"] = figures(4096, 1000000, 250000);
    mounts["/home"] = figures(4096, 200, 200);
    mounts["/mnt/my data"] = figures(4096, 1000000, 250000);
    mounts["/media/image"] = figures(4096, 100, 0);
    // sda1 is mounted twice and counts once; tmpfs and proc have no device.
    EXPECT_EQ(instances("LogicalDisk"), (Names{"sda1", "nvme0n1p1", "loop0", "_Total"}));
    EXPECT_EQ(one("\\LogicalDisk(sda1)\\% Free Space"), 25);
    EXPECT_EQ(one("\\LogicalDisk(sda1)\\Free Megabytes"), 250000LL * 4096 / (1 << 20));
    EXPECT_EQ(one("\\LogicalDisk(nvme0n1p1)\\% Free Space"), 100);
    EXPECT_EQ(one("\\LogicalDisk(loop0)\\Free Megabytes"), 0);
}

TEST_F(LinuxObjectsTest, LogicalDiskTotalWeighsFilesystemsByBytesNotBlocks)
{
    // 4096-byte blocks, a quarter free; 512-byte blocks as many bytes, all
    // free; a small full image.  Free share of all bytes: 62.497 %; of all
    // blocks it would be 91.7 %.
    mounts["/"] = figures(4096, 1000000, 250000);
    mounts["/home"] = figures(512, 8000000, 8000000);
    mounts["/media/image"] = figures(4096, 100, 0);
    EXPECT_EQ(one("\\LogicalDisk(_Total)\\% Free Space"), 62);
    EXPECT_EQ(one("\\LogicalDisk(_Total)\\Free Megabytes"),
              (250000LL * 4096 + 8000000LL * 512) / (1 << 20));
}

TEST_F(LinuxObjectsTest, LogicalDiskWithoutFiguresFails)
{
    mounts["/"] = figures(4096, 1000000, 250000);
    // /home and /media/image answer no statvfs.
    expectFails("\\LogicalDisk(nvme0n1p1)\\% Free Space");
    expectFails("\\LogicalDisk(nvme0n1p1)\\Free Megabytes");
    EXPECT_EQ(one("\\LogicalDisk(sda1)\\% Free Space"), 25);
    // The total is that of the disks whose figures could be read.
    EXPECT_EQ(one("\\LogicalDisk(_Total)\\Free Megabytes"), 250000 * 4096 / (1024 * 1024));
    EXPECT_EQ(one("\\LogicalDisk(_Total)\\% Free Space"), 25);
}

TEST_F(LinuxObjectsTest, NetworkInterfacesInKernelOrderWithCountsAndBandwidth)
{
    EXPECT_EQ(instances("Network Interface"), (Names{"lo", "eth0", "eth1"}));
    const std::string p = "\\Network Interface(eth0)\\";
    EXPECT_EQ(one(p + "Packets Received Errors"), 3);
    EXPECT_EQ(one(p + "Packets Received Discarded"), 4);
    EXPECT_EQ(one(p + "Packets Outbound Errors"), 5);
    EXPECT_EQ(one(p + "Packets Outbound Discarded"), 6);
    EXPECT_EQ(one(p + "Current Bandwidth"), 1000000000);
    EXPECT_EQ(oneLarge("\\Network Interface(eth1)\\Current Bandwidth"), 10000000000LL);
    // The loopback reports no speed (-1 in sysfs).
    expectFails("\\Network Interface(lo)\\Current Bandwidth");
    expectFails(p + "Bytes Received/sec");
}

TEST_F(LinuxObjectsTest, PagingFilesAreNamedByTheLastPathComponent)
{
    EXPECT_EQ(instances("Paging File"), (Names{"sda2", "swap file", "_Total"}));
    EXPECT_EQ(one("\\Paging File(sda2)\\% Usage"), 25);
    EXPECT_EQ(one("\\Paging File(swap file)\\% Usage"), 0);
    EXPECT_EQ(one("\\Paging File(_Total)\\% Usage"), 16) << "500000 of 3000000, truncated";
}

TEST_F(LinuxObjectsTest, MachineWithoutSwapHasOnlyAFailingPagingFileTotal)
{
    useTrees(sampleTree("captured/proc"), sampleTree("captured/sys"));
    EXPECT_EQ(instances("Paging File"), (Names{"_Total"}));
    expectFails("\\Paging File(_Total)\\% Usage");
}

TEST_F(LinuxObjectsTest, CapturedTreeReadsAsTheMachineShowedIt)
{
    useTrees(sampleTree("captured/proc"), sampleTree("captured/sys"));
    EXPECT_EQ(instances("Processor"), (Names{"0", "1", "_Total"}));
    EXPECT_EQ(instances("Process"), (Names{"kthreadd", "bash", "python3", "_Total"}));
    EXPECT_EQ(instances("Thread"),
              (Names{"kthreadd/0", "bash/0", "python3/0", "python3/1", "python3/2"}));
    EXPECT_EQ(instances("PhysicalDisk"), (Names{"vda", "_Total"}));
    EXPECT_EQ(instances("Network Interface"), (Names{"lo", "ifb0", "ifb1", "eth0"}));
    mounts["/"] = figures(4096, 1000, 500);
    EXPECT_EQ(instances("LogicalDisk"), (Names{"vda", "_Total"}));

    EXPECT_EQ(one("\\Process(python3)\\ID Process"), 16626);
    EXPECT_EQ(one("\\Process(python3)\\Creating Process ID"), 16625);
    EXPECT_EQ(one("\\Process(python3)\\Thread Count"), 3);
    EXPECT_EQ(one("\\Process(python3)\\Handle Count"), 5);
    EXPECT_EQ(one("\\Process(bash)\\Virtual Bytes"), 5423104);
    EXPECT_EQ(one("\\Process(kthreadd)\\Working Set"), 0);
    EXPECT_EQ(one("\\Thread(python3/2)\\ID Thread"), 16706);
    EXPECT_EQ(one("\\Memory\\Available KBytes"), 24309036);
    EXPECT_EQ(one("\\Memory\\Committed Bytes"), 93876 * KB);
    EXPECT_EQ(one("\\System\\Threads"), 98);
    EXPECT_EQ(one("\\System\\Processes"), 3);
    EXPECT_EQ(one("\\System\\System Up Time"), 9148);
    EXPECT_EQ(one("\\PhysicalDisk(vda)\\Current Disk Queue Length"), 0);
    // A link without a known speed ("-1") and one whose file is empty.
    expectFails("\\Network Interface(eth0)\\Current Bandwidth");
    expectFails("\\Network Interface(ifb0)\\Current Bandwidth");
    EXPECT_EQ(one("\\Network Interface(eth0)\\Packets Received Errors"), 0);
}

TEST_F(LinuxObjectsTest, UnreadableSourcesLeaveObjectsWithoutInstances)
{
    useTrees(sampleTree("crafted/no-such-proc"), sampleTree("crafted/no-such-sys"));
    ItemLists processor = enumerateItems("Processor");
    EXPECT_EQ(processor.status, ERROR_SUCCESS);
    EXPECT_EQ(processor.instanceSize, 2u) << "an empty list";
    EXPECT_TRUE(enumerateItems("Network Interface").instances.empty());
    expectFails("\\Processor(0)\\% Processor Time", PDH_CSTATUS_NO_INSTANCE);
    expectFails("\\Memory\\Available Bytes");
    expectFails("\\System\\Processes");
}

} // namespace
} // namespace linuxtest

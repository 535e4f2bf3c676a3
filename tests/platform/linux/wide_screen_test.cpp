// The shipped program at a very wide screen: a table's memory grows with the
// screen width alone, not with rows times width, so that ten times the width
// costs about what the narrower run costs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/forked_process.h"

namespace {

struct PeakRun {
    int status;
    long peakKilobytes;
};

// Runs the binary with `args`, its output to /dev/null, from a child of its
// own, so that the peak resident size read back is that run's alone.
PeakRun runMeasured(std::vector<std::string> args)
{
    args.insert(args.begin(), MIREKAST_BINARY);
    ChildResult measured = runForked([&args] {
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            std::vector<char*> argv = argumentVector(args);
            execv(MIREKAST_BINARY, argv.data());
            _exit(127);
        }
        int status = -1;
        waitpid(pid, &status, 0);
        struct rusage usage;
        getrusage(RUSAGE_CHILDREN, &usage);
        printf("%d %ld\n", status, usage.ru_maxrss);
        exit(0);
    });
    PeakRun run = {-1, 0};
    EXPECT_EQ(sscanf(measured.out.c_str(), "%d %ld", &run.status, &run.peakKilobytes), 2)
        << measured.out << measured.err;
    return run;
}

TEST(WideScreen, TenTimesTheWidthCostsNoMoreMemoryThanRowsNeed)
{
    const std::vector<std::string> every = {"-s", "{Process", "-i", "*", "-c", "*}"};
    std::vector<std::string> narrow = {"-sw", "100000"};
    std::vector<std::string> wide = {"-sw", "1000000"};
    narrow.insert(narrow.end(), every.begin(), every.end());
    wide.insert(wide.end(), every.begin(), every.end());
    PeakRun narrowRun = runMeasured(narrow);
    PeakRun wideRun = runMeasured(wide);
    ASSERT_EQ(narrowRun.status, 0);
    ASSERT_EQ(wideRun.status, 0);
    // A rule held per cell made it about eight times as much here (126 MB
    // against 16 MB with some 130 processes).
    EXPECT_LT(wideRun.peakKilobytes, narrowRun.peakKilobytes * 3 / 2)
        << "peak " << wideRun.peakKilobytes << " kB at 1000000 against "
        << narrowRun.peakKilobytes << " kB at 100000";
    printf("peak resident: %ld kB at -sw 100000, %ld kB at -sw 1000000\n",
           narrowRun.peakKilobytes, wideRun.peakKilobytes);
}

} // namespace

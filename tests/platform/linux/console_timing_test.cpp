// The console's clock, its sleep until a time, and ending signals held for
// the record being written, on the real system.  Each case runs in a forked
// child, since it changes the process's signal handling.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/console.h"
#include "support/forked_process.h"

namespace {

// A signal to the child from outside, after `delayMillis`, from a grandchild.
void signalMeLater(int signalNumber, unsigned delayMillis)
{
    pid_t me = getpid();
    if (fork() == 0) {
        usleep(delayMillis * 1000);
        kill(me, signalNumber);
        _exit(0);
    }
}

TEST(ConsoleTiming, SleepUntilWaitsForItsTimeAndNotForOneGone)
{
    int64_t start = monotonicMillis();
    sleepUntilMillis(start + 150);
    int64_t slept = monotonicMillis() - start;
    EXPECT_GE(slept, 150);
    EXPECT_LT(slept, 1000);
    start = monotonicMillis();
    sleepUntilMillis(start - 5000);
    EXPECT_LT(monotonicMillis() - start, 50);
}

TEST(ConsoleTiming, AHeldSignalCutsTheSleepShortAndEndsTheProcessByItLater)
{
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        ChildResult run = runForked([signalNumber] {
            signal(signalNumber, SIG_DFL);
            holdEndingSignals();
            signalMeLater(signalNumber, 100);
            int64_t start = monotonicMillis();
            sleepUntilMillis(start + 20000);
            int64_t slept = monotonicMillis() - start;
            printf("held %d slept %s\n", heldEndingSignal() == signalNumber,
                   slept < 10000 ? "short" : "long");
            fflush(stdout);
            // Held signals do not wait again; the process ends by the one held.
            sleepUntilMillis(monotonicMillis() + 20000);
            endByHeldSignal();
        });
        EXPECT_EQ(run.out, "held 1 slept short\n") << signalNumber;
        EXPECT_EQ(run.signal, signalNumber);
    }
}

TEST(ConsoleTiming, ASecondSignalEndsTheProcessAtOnce)
{
    ChildResult run = runForked([] {
        holdEndingSignals();
        raise(SIGTERM);
        printf("held %d\n", heldEndingSignal());
        fflush(stdout);
        raise(SIGHUP);
        printf("still here\n");
        _exit(0);
    });
    EXPECT_EQ(run.out, "held " + std::to_string(SIGTERM) + "\n");
    EXPECT_EQ(run.signal, SIGHUP);
}

TEST(ConsoleTiming, ASignalIgnoredFromTheStartStaysIgnored)
{
    ChildResult run = runForked([] {
        signal(SIGINT, SIG_IGN);
        holdEndingSignals();
        raise(SIGINT);
        printf("held %d\n", heldEndingSignal());
        fflush(stdout);
        _exit(0);
    });
    EXPECT_EQ(run.out, "held 0\n");
    EXPECT_EQ(run.exitCode, 0);
}

} // namespace

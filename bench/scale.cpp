// How the cost of `mirekast -a` grows with the number of instances: one object
// of 1,000, 10,000 and 100,000 instances with 20 counters each, on the scale
// layer (scale_layer.h), every run in a child of its own so that its peak
// memory is its own.  Names come in two orders: ascending and distinct, and
// shuffled with every name shared by two instances, as processes of one
// program share theirs.
//
//     bench_scale [instances...]     (default: 1000 10000 100000)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "driver/program.h"
#include "scale_layer.h"

namespace {

const int COUNTERS = 20;
const long GOAL_SIZE = 100000;
const double GOAL_SECONDS = 2.0;
const long GOAL_FROM = 10000;
const double GOAL_GROWTH = 1.15;

enum Order { ASCENDING, SHUFFLED_PAIRS };

const char* orderName(Order order)
{
    return order == ASCENDING ? "ascending, distinct" : "shuffled, in pairs";
}

std::vector<std::string> instanceNames(long count, Order order)
{
    std::vector<std::string> names;
    char name[32];
    for (long i = 0; i < count; ++i) {
        long id = order == ASCENDING ? i : i / 2;
        snprintf(name, sizeof name, "worker-%07ld", id);
        names.push_back(name);
    }
    if (order == SHUFFLED_PAIRS) {
        std::mt19937 random(20261208);
        std::shuffle(names.begin(), names.end(), random);
    }
    return names;
}

struct Measure {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system: what a busy machine does not inflate
    double peakBytes = 0;  // growth of the peak resident size during the run
    long added = 0;
    long fetched = 0;
    int exitCode = -1;
};

double cpuSecondsUsed()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In the child: set up the machine, run the program's flow with its output
// thrown away, and report through `fd`.
[[noreturn]] void measureInChild(long instances, Order order, int fd)
{
    // Kept until the end, so that the run cannot reuse their memory and look
    // smaller than it is.
    std::vector<std::string> counters;
    for (int c = 0; c < COUNTERS; ++c) {
        counters.push_back("Counter " + std::to_string(c) + (c % 3 == 0 ? "/sec" : ""));
    }
    std::vector<std::string> names = instanceNames(instances, order);
    scale::setObject("Scale", counters, names);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);

    Measure measure;
    long before = peakKilobytes();
    char program[] = "mirekast";
    char all[] = "-a";
    char* argv[] = {program, all, nullptr};
    double cpuBefore = cpuSecondsUsed();
    auto start = std::chrono::steady_clock::now();
    measure.exitCode = programMain(2, argv);
    fflush(stdout);
    auto end = std::chrono::steady_clock::now();
    measure.seconds = std::chrono::duration<double>(end - start).count();
    measure.cpuSeconds = cpuSecondsUsed() - cpuBefore;
    measure.peakBytes = static_cast<double>(peakKilobytes() - before) * 1024.0;
    measure.added = scale::addedCounters();
    measure.fetched = scale::fetchedValues();
    ssize_t written = write(fd, &measure, sizeof measure);
    _exit(written == static_cast<ssize_t>(sizeof measure) ? 0 : 1);
}

bool measureRun(long instances, Order order, Measure* measure)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    fflush(stdout);
    pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        measureInChild(instances, order, fds[1]);
    }
    close(fds[1]);
    ssize_t got = read(fds[0], measure, sizeof *measure);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got == static_cast<ssize_t>(sizeof *measure) && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0 && measure->exitCode == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) {
        long size = strtol(argv[i], nullptr, 10);
        if (size < 2) {
            fprintf(stderr, "bench_scale: sizes are instance counts of 2 or more\n");
            return 2;
        }
        sizes.push_back(size);
    }
    if (sizes.empty()) {
        sizes = {1000, 10000, 100000};
    }
    int failures = 0;
    for (Order order : {ASCENDING, SHUFFLED_PAIRS}) {
        printf("mirekast -a, one object of N instances x %d counters, names %s\n", COUNTERS,
               orderName(order));
        printf("  %9s %10s %8s %14s %16s %12s %14s\n", "N", "seconds", "cpu s", "us/instance",
               "peak B/instance", "vs first", "growth N^k");
        Measure first;
        Measure previous;
        long previousSize = 0;
        double fromSeconds = 0;
        for (long size : sizes) {
            Measure measure;
            if (!measureRun(size, order, &measure)) {
                printf("  %9ld  run failed\n", size);
                ++failures;
                continue;
            }
            if (measure.added != size * COUNTERS || measure.fetched != measure.added) {
                printf("  %9ld  added %ld counters and fetched %ld values, not %ld\n", size,
                       measure.added, measure.fetched, size * COUNTERS);
                ++failures;
                continue;
            }
            double perInstance = measure.seconds / static_cast<double>(size);
            if (previousSize == 0) {
                first = measure;
                first.seconds = perInstance;  // kept per instance from here on
                printf("  %9ld %10.3f %8.3f %14.2f %16.0f %12s %14s\n", size, measure.seconds,
                       measure.cpuSeconds, perInstance * 1e6, measure.peakBytes / static_cast<double>(size), "1.00x",
                       "-");
            } else {
                double growth = std::log(measure.seconds / previous.seconds) /
                                std::log(static_cast<double>(size) / static_cast<double>(previousSize));
                printf("  %9ld %10.3f %8.3f %14.2f %16.0f %11.2fx %14.2f\n", size,
                       measure.seconds, measure.cpuSeconds, perInstance * 1e6, measure.peakBytes / static_cast<double>(size),
                       perInstance / first.seconds, growth);
            }
            previous = measure;
            previousSize = size;
            if (size == GOAL_FROM) {
                fromSeconds = measure.seconds;
            }
        }
        // The goals: 100,000 instances in under 2 s, and from 10,000 on a
        // growth close to linear.
        if (previousSize >= GOAL_SIZE) {
            printf("  goal: %ld instances in under %.0f s: %s (%.2f s; cpu %.2f s)\n", previousSize,
                   GOAL_SECONDS, previous.seconds < GOAL_SECONDS ? "met" : "NOT met",
                   previous.seconds, previous.cpuSeconds);
        }
        if (fromSeconds > 0 && previousSize > GOAL_FROM) {
            double growth = std::log(previous.seconds / fromSeconds) /
                            std::log(static_cast<double>(previousSize) / GOAL_FROM);
            printf("  goal: k from %ld to %ld at most %.2f: k = %.2f, %s\n", GOAL_FROM,
                   previousSize, GOAL_GROWTH, growth, growth <= GOAL_GROWTH ? "met" : "NOT met");
        }
        printf("\n");
    }
    printf("  vs first: time per instance against the smallest size; growth: the exponent k\n"
           "  of time ~ N^k between a size and the one before it (1 is linear, 2 quadratic).\n");
    return failures == 0 ? 0 : 1;
}

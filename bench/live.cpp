// Runs commands side by side, round after round, each with its output thrown
// away, and prints per command the median wall-clock and CPU time, then the
// ratios asked for.  Each round runs the commands in a new random order.
//
//     bench_live ROUNDS RATIOS -- LABEL PROGRAM [ARGS...] -- LABEL PROGRAM [ARGS...] ...
//
// RATIOS is a comma-separated list of A/B (commands numbered from 1, in the
// order given), each optionally followed by <=GOAL: the ratio of A's median to
// B's, and whether A's wall-clock time is at most GOAL times B's.  The exit
// status is 1 when a command failed, 0 otherwise: a goal missed is reported,
// not an error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Command {
    std::string label;
    std::vector<char*> argv;
    std::vector<double> wall;  // milliseconds
    std::vector<double> cpu;
    int failures = 0;
};

double milliseconds(const struct timeval& time)
{
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// Runs the command once; its times are kept when `measured`.
bool runOnce(Command& command, bool measured)
{
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(command.argv[0], command.argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    if (measured) {
        command.wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        command.cpu.push_back(milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime));
    }
    return true;
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int usage()
{
    fprintf(stderr, "usage: bench_live ROUNDS A/B[<=GOAL],... -- LABEL PROGRAM [ARGS...] "
                    "[-- LABEL PROGRAM ...]\n");
    return 2;
}

struct Ratio {
    size_t a;
    size_t b;
    double goal;  // 0: none
};

bool parseRatios(const char* text, size_t commands, std::vector<Ratio>* ratios)
{
    const char* p = text;
    while (*p != '\0') {
        char* end = nullptr;
        long a = strtol(p, &end, 10);
        if (end == p || *end != '/') {
            return false;
        }
        p = end + 1;
        long b = strtol(p, &end, 10);
        if (end == p || a < 1 || b < 1 || static_cast<size_t>(a) > commands ||
            static_cast<size_t>(b) > commands) {
            return false;
        }
        p = end;
        double goal = 0;
        if (p[0] == '<' && p[1] == '=') {
            goal = strtod(p + 2, &end);
            if (end == p + 2 || goal <= 0) {
                return false;
            }
            p = end;
        }
        ratios->push_back(Ratio{static_cast<size_t>(a - 1), static_cast<size_t>(b - 1), goal});
        if (*p == ',') {
            ++p;
        } else if (*p != '\0') {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || strcmp(argv[3], "--") != 0) {
        return usage();
    }
    int rounds = atoi(argv[1]);
    if (rounds < 1) {
        return usage();
    }
    std::vector<Command> commands;
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            if (i + 2 >= argc) {
                return usage();
            }
            commands.emplace_back();
            commands.back().label = argv[++i];
            continue;
        }
        commands.back().argv.push_back(argv[i]);
    }
    for (Command& command : commands) {
        if (command.argv.empty()) {
            return usage();
        }
        command.argv.push_back(nullptr);
    }
    std::vector<Ratio> ratios;
    if (!parseRatios(argv[2], commands.size(), &ratios)) {
        return usage();
    }

    // A fresh order every round, so that no command always follows the same
    // other.
    std::vector<size_t> order;
    for (size_t k = 0; k < commands.size(); ++k) {
        order.push_back(k);
    }
    std::mt19937 random(20261208);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (size_t k : order) {
            // Each measured run follows an unmeasured one of the same command,
            // so that every run finds the processor and caches warm, also
            // after top, which sleeps before it prints.
            if (!runOnce(commands[k], false) || !runOnce(commands[k], true)) {
                ++commands[k].failures;
            }
        }
    }

    int failed = 0;
    printf("  %-40s %10s %10s\n", "command (median of each)", "wall ms", "cpu ms");
    for (const Command& command : commands) {
        if (command.failures > 0) {
            printf("  %-40s failed %d of %d runs\n", command.label.c_str(), command.failures,
                   rounds);
            failed++;
            continue;
        }
        printf("  %-40s %10.2f %10.2f\n", command.label.c_str(), median(command.wall),
               median(command.cpu));
    }
    printf("\n  %-40s %10s %10s\n", "ratio", "wall", "cpu");
    for (const Ratio& ratio : ratios) {
        const Command& a = commands[ratio.a];
        const Command& b = commands[ratio.b];
        if (a.failures > 0 || b.failures > 0) {
            continue;
        }
        std::string label = a.label + " / " + b.label;
        double wall = median(a.wall) / median(b.wall);
        double cpu = median(b.cpu) > 0 ? median(a.cpu) / median(b.cpu) : 0;
        printf("  %-40s %9.2fx %9.2fx", label.c_str(), wall, cpu);
        if (ratio.goal > 0) {
            printf("   goal: at most %.2fx, %s", ratio.goal, wall <= ratio.goal ? "met" : "NOT met");
        }
        printf("\n");
    }
    printf("  (%d rounds, every command once per round)\n", rounds);
    return failed == 0 ? 0 : 1;
}

// Stands in for a busy server: starts THREADS sleeping threads in processes of
// PER_PROCESS threads each (the main thread counts), all of this program's
// name, prints "ready" once every thread runs, and holds them until its
// standard input ends or it is killed.  Every process it starts dies with it,
// whatever ends it (the kernel's parent-death signal), so no sleeper outlives
// a benchmark that fails.
//
//     bench_sleepers THREADS PER_PROCESS
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void* sleepForever(void*)
{
    for (;;) {
        pause();
    }
    return nullptr;
}

// In a child: start `threads - 1` threads beside the main one, then tell the
// parent through `ready` (one byte: 1 started, 0 failed) and sleep.
[[noreturn]] void runSleepers(long threads, pid_t parent, int ready)
{
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
        _exit(1);
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, PTHREAD_STACK_MIN);
    char started = 1;
    for (long i = 1; i < threads; ++i) {
        pthread_t thread;
        if (pthread_create(&thread, &attributes, sleepForever, nullptr) != 0) {
            started = 0;
            break;
        }
    }
    if (write(ready, &started, 1) != 1 || started == 0) {
        _exit(1);
    }
    sleepForever(nullptr);
    _exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    long total = argc == 3 ? strtol(argv[1], nullptr, 10) : 0;
    long perProcess = argc == 3 ? strtol(argv[2], nullptr, 10) : 0;
    if (total < 1 || perProcess < 1) {
        fprintf(stderr, "usage: bench_sleepers THREADS PER_PROCESS\n");
        return 2;
    }
    int ready[2];
    if (pipe(ready) != 0) {
        perror("bench_sleepers: pipe");
        return 1;
    }
    pid_t self = getpid();
    long processes = 0;
    for (long left = total; left > 0; left -= perProcess) {
        pid_t child = fork();
        if (child < 0) {
            perror("bench_sleepers: fork");
            return 1;  // the children started so far die with this process
        }
        if (child == 0) {
            close(ready[0]);
            runSleepers(left < perProcess ? left : perProcess, self, ready[1]);
        }
        ++processes;
    }
    close(ready[1]);
    for (long i = 0; i < processes; ++i) {
        char started = 0;
        if (read(ready[0], &started, 1) != 1 || started != 1) {
            fprintf(stderr, "bench_sleepers: could not start %ld threads (limits?)\n", total);
            return 1;
        }
    }
    printf("ready\n");
    fflush(stdout);
    // Until the benchmark closes our input (or ends, which closes it too).
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return 0;
}

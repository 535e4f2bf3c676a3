// The POSIX console: a terminal in non-canonical, no-echo mode for the loop,
// so that any key counts; the mode restored on every way out; keys left in the
// queue for the shell.
#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static struct termios savedMode;
static volatile sig_atomic_t modeChanged = 0;
static volatile sig_atomic_t sampling = 0;
static volatile sig_atomic_t continued = 0;
static volatile sig_atomic_t heldSignal = 0;
static bool exitHookInstalled = false;

static void restoreMode()
{
    if (modeChanged) {
        // TCSANOW, not TCSAFLUSH: the key that ended the loop must stay queued.
        tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
        modeChanged = 0;
    }
}

static void restoreAndResignal(int signalNumber)
{
    restoreMode();
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static void installHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

// The loop's mode: any key counts, nothing echoes.  Taken afresh from the
// terminal each time, since the shell may have changed it while we were
// stopped.  Only a foreground process may set it; a background one would be
// stopped by SIGTTOU for trying.
static void takeLoopMode()
{
    if (tcgetpgrp(STDIN_FILENO) != getpgrp() || tcgetattr(STDIN_FILENO, &savedMode) != 0) {
        return;
    }
    struct termios raw = savedMode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        modeChanged = 1;
    }
}

// Ctrl-Z: the terminal goes back to the shell as it was, then the process
// stops as SIGTSTP would stop it.  Ctrl-Z stops the whole job, and the shell
// may have taken the terminal back (setting its own mode) before this runs:
// then there is nothing to restore, and trying would stop the process by
// SIGTTOU.  If that stop happens all the same (the shell taking the terminal
// between the check and the restore), `fg` has already continued the process
// by the time the restore returns, and stopping again would hang the job.
static void restoreAndStop(int signalNumber)
{
    int savedErrno = errno;
    continued = 0;
    if (tcgetpgrp(STDIN_FILENO) == getpgrp()) {
        restoreMode();
    } else {
        modeChanged = 0;
    }
    if (continued) {
        if (sampling && !modeChanged) {
            takeLoopMode();
        }
        errno = savedErrno;
        return;
    }
    signal(signalNumber, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signalNumber);
    raise(signalNumber);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here until SIGCONT
    installHandler(signalNumber, restoreAndStop);
    errno = savedErrno;
}

// After `fg` (or `bg`, then `fg`): the loop's mode again, while it runs.
static void retakeOnContinue(int)
{
    int savedErrno = errno;
    continued = 1;
    if (sampling && !modeChanged) {
        takeLoopMode();
    }
    errno = savedErrno;
}

// A signal that the process was started with ignored (a shell's `trap ''
// INT`, a background job) stays ignored: it was not meant to end the loop.
static void restoreOnSignal(int signalNumber, void (*handler)(int))
{
    struct sigaction current = {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    installHandler(signalNumber, handler);
}

void beginConsoleSampling()
{
    signal(SIGPIPE, SIG_IGN);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedMode) != 0) {
        return;
    }
    if (!exitHookInstalled) {
        atexit(restoreMode);
        exitHookInstalled = true;
    }
    static const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int signalNumber : endingSignals) {
        restoreOnSignal(signalNumber, restoreAndResignal);
    }
    restoreOnSignal(SIGTSTP, restoreAndStop);
    installHandler(SIGCONT, retakeOnContinue);
    sampling = 1;
    takeLoopMode();
}

void endConsoleSampling()
{
    sampling = 0;
    restoreMode();
}

bool keyPressWaiting()
{
    if (!modeChanged) {
        return false;
    }
    int pending = 0;
    return ioctl(STDIN_FILENO, FIONREAD, &pending) == 0 && pending > 0;
}

void sleepMilliseconds(unsigned milliseconds)
{
    struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

int64_t monotonicMillis()
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The ending signals stay blocked but while ppoll waits, so that one arriving
// between the look at heldSignal and the wait still cuts the wait short.
void sleepUntilMillis(int64_t due)
{
    sigset_t ending;
    sigset_t previous;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    sigprocmask(SIG_BLOCK, &ending, &previous);
    for (int64_t left = due - monotonicMillis(); left > 0 && heldSignal == 0;
         left = due - monotonicMillis()) {
        struct timespec wait = {static_cast<time_t>(left / 1000),
                                static_cast<long>(left % 1000) * 1000000L};
        ppoll(nullptr, 0, &wait, &previous);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// The first ending signal is only noted; the loop honours it once the record
// it is writing is whole.  A second one means now.
static void holdOrEnd(int signalNumber)
{
    if (heldSignal != 0) {
        restoreAndResignal(signalNumber);
        return;
    }
    heldSignal = signalNumber;
}

void holdEndingSignals()
{
    static const int heldSignals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signalNumber : heldSignals) {
        restoreOnSignal(signalNumber, holdOrEnd);
    }
}

int heldEndingSignal()
{
    return heldSignal;
}

void endByHeldSignal()
{
    int signalNumber = heldSignal;
    sampling = 0;
    restoreMode();
    signal(signalNumber, SIG_DFL);
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, signalNumber);
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
}

// The POSIX console: a terminal in non-canonical, no-echo mode for the loop,
// so that any key counts; the mode restored on every way out; keys left in the
// queue for the shell.
#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static struct termios savedMode;
static volatile sig_atomic_t modeChanged = 0;
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

// A signal that the process was started with ignored (a shell's `trap ''
// INT`, a background job) stays ignored: it was not meant to end the loop.
static void restoreOnSignal(int signalNumber)
{
    struct sigaction current = {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = restoreAndResignal;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

void beginConsoleSampling()
{
    signal(SIGPIPE, SIG_IGN);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedMode) != 0) {
        return;
    }
    struct termios raw = savedMode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (!exitHookInstalled) {
        atexit(restoreMode);
        exitHookInstalled = true;
    }
    static const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int signalNumber : endingSignals) {
        restoreOnSignal(signalNumber);
    }
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        modeChanged = 1;
    }
}

void endConsoleSampling()
{
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

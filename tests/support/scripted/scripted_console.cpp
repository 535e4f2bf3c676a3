// The scripted console: keys that arrive when the test says, sleeps that are
// only written down.
#include "platform/console.h"

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/scripted/scripted_internal.h"
#include "support/scripted/scripted_layer.h"

namespace scripted {
namespace {

struct ConsoleScript {
    int keyFromPoll = 0;
    int polls = 0;
    int begins = 0;
    int ends = 0;
    std::vector<unsigned> sleeps;
    int64_t monotonicNow = 0;
    bool holding = false;
    int heldSignal = 0;
    std::function<void()> beforeEnd;
};

ConsoleScript& console()
{
    static ConsoleScript theScript;
    return theScript;
}

} // namespace

namespace internal {

void resetConsoleScript()
{
    console() = ConsoleScript();
}

} // namespace internal

void keyWaitingFromPoll(int n)
{
    console().keyFromPoll = n;
}

int keyPolls()
{
    return console().polls;
}

std::vector<unsigned> sleeps()
{
    return console().sleeps;
}

int consoleBegins()
{
    return console().begins;
}

int consoleEnds()
{
    return console().ends;
}

void advanceMonotonicClock(int64_t milliseconds)
{
    console().monotonicNow += milliseconds;
}

int64_t monotonicClock()
{
    return console().monotonicNow;
}

bool endingSignalsHeld()
{
    return console().holding;
}

void sendEndingSignal(int signalNumber)
{
    if (!console().holding || console().heldSignal != 0) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
        return;
    }
    console().heldSignal = signalNumber;
}

void beforeEndBySignal(const std::function<void()>& action)
{
    console().beforeEnd = action;
}

} // namespace scripted

void beginConsoleSampling()
{
    scripted::internal::recordEvent("beginConsoleSampling");
    scripted::console().begins++;
}

void endConsoleSampling()
{
    scripted::internal::recordEvent("endConsoleSampling");
    scripted::console().ends++;
}

bool keyPressWaiting()
{
    scripted::internal::recordEvent("keyPressWaiting");
    int poll = ++scripted::console().polls;
    return scripted::console().keyFromPoll != 0 && poll >= scripted::console().keyFromPoll;
}

void sleepMilliseconds(unsigned milliseconds)
{
    scripted::internal::recordEvent("sleepMilliseconds " + std::to_string(milliseconds));
    scripted::console().sleeps.push_back(milliseconds);
}

int64_t monotonicMillis()
{
    return scripted::console().monotonicNow;
}

void sleepUntilMillis(int64_t due)
{
    scripted::ConsoleScript& script = scripted::console();
    scripted::internal::recordEvent("sleepUntilMillis " + std::to_string(due));
    if (script.heldSignal == 0 && due > script.monotonicNow) {
        script.monotonicNow = due;
    }
}

void holdEndingSignals()
{
    scripted::internal::recordEvent("holdEndingSignals");
    scripted::console().holding = true;
}

int heldEndingSignal()
{
    return scripted::console().heldSignal;
}

void endByHeldSignal()
{
    scripted::ConsoleScript& script = scripted::console();
    scripted::internal::recordEvent("endByHeldSignal");
    if (script.beforeEnd) {
        script.beforeEnd();
    }
    fflush(stderr);
    signal(script.heldSignal, SIG_DFL);
    raise(script.heldSignal);
    _exit(127);
}

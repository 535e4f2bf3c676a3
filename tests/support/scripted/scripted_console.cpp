// The scripted console: keys that arrive when the test says, sleeps that are
// only written down.
#include "platform/console.h"

#include <string>
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

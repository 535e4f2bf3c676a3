// The scripted stamps: a clock that moves only as the script says, and a
// machine name of the test's choosing.
#include "platform/stamps.h"

#include <string>

#include "support/scripted/scripted_internal.h"
#include "support/scripted/scripted_layer.h"

namespace scripted {
namespace {

struct StampScript {
    WallTime first = {1767323045678LL, 0, "UTC"};  // 2026-01-02T03:04:05.678Z
    int64_t stepMillis = 1000;
    int64_t calls = 0;
    std::string machine = "TESTHOST";
};

StampScript& stamps()
{
    static StampScript theScript;
    return theScript;
}

} // namespace

namespace internal {

void resetStampScript()
{
    stamps() = StampScript();
}

} // namespace internal

void setWallClock(const WallTime& first, int64_t stepMillis)
{
    stamps().first = first;
    stamps().stepMillis = stepMillis;
    stamps().calls = 0;
}

void setMachineName(const std::string& name)
{
    stamps().machine = name;
}

} // namespace scripted

WallTime wallClockNow()
{
    scripted::StampScript& script = scripted::stamps();
    WallTime now = script.first;
    now.utcMillis += script.stepMillis * script.calls++;
    return now;
}

const char* machineName()
{
    return scripted::stamps().machine.c_str();
}

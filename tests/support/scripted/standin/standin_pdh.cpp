// The stand-in pdh.dll scripts its machine as it is loaded, before the
// program makes its first call.  An unknown or missing scenario leaves the
// machine empty and says so on standard error, where the case that asked for
// it will show the line as a difference.
#include <cstdio>
#include <cstdlib>

#include "support/scripted/scenarios.h"

namespace {

bool scriptFromEnvironment()
{
    const char* name = getenv("MIREKAST_STANDIN_SCENARIO");
    if (name == nullptr || !scripted::loadScenario(name)) {
        fprintf(stderr, "stand-in pdh.dll: no scripted machine named \"%s\"\n",
                name != nullptr ? name : "");
        return false;
    }
    return true;
}

const bool scriptedAtLoad = scriptFromEnvironment();

} // namespace

#include "support/scripted/scenarios.h"

#include <string>

#include "support/scripted/scripted_layer.h"

namespace scripted {
namespace {

// Memory without instances, Process with two instances of one name, Thread.
// "% Processor Time" needs two collections, as rates do, and yields a new
// value per collection.
void machine()
{
    addObject("Memory", {"Available Bytes", "Pages/sec"});
    Object& process = addObject("Process", {"% Processor Time", "ID Process"}, {"idle", "sh", "sh"});
    process.twoSampleCounters = {"% Processor Time"};
    addObject("Thread", {"ID Thread"}, {"sh/0", "sh/1"});
    setValues("\\Memory\\Available Bytes", {value(4096)});
    setValues("\\Memory\\Pages/sec", {value(7)});
    setValues("\\Process(idle#0)\\ID Process", {value(0)});
    setValues("\\Process(sh#0)\\ID Process", {value(100)});
    setValues("\\Process(sh#1)\\ID Process", {value(200)});
    setValues("\\Process(idle#0)\\% Processor Time", {value(0), value(99)});
    setValues("\\Process(sh#0)\\% Processor Time", {value(0), value(5)});
    setValues("\\Process(sh#1)\\% Processor Time", {value(0), value(12)});
    setValues("\\Thread(sh/0#0)\\ID Thread", {value(100)});
    setValues("\\Thread(sh/1#0)\\ID Thread", {value(101)});
}

// The machine, but PdhAddCounterA refuses Memory's counters.
void refusingMachine()
{
    machine();
    refuseCounter("\\Memory\\Available Bytes");
    refuseCounter("\\Memory\\Pages/sec");
}

// Processors, Memory without instances, Process with a duplicate name; no
// values are scripted, so every fetch reads 0.
void names()
{
    addObject("Processor", {"% Processor Time", "Interrupts/sec"}, {"0", "1", "_Total"});
    addObject("Memory", {"Available Bytes", "Page Faults/sec"});
    addObject("Process", {"ID Process"}, {"sh", "init", "sh"});
}

// The names, but no query can be opened.
void namesWithoutQuery()
{
    names();
    answerCall(OPEN_QUERY, 1, PDH_INVALID_ARGUMENT);
}

// The object list cannot be had at all.
void objectsUnavailable()
{
    names();
    answerCall(ENUM_OBJECTS, 1, PDH_CSTATUS_NO_MACHINE);
}

// Memory goes away after the object list was taken: its sizing call (the
// third item enumeration, after Processor's two) finds no such object.
void memoryGone()
{
    names();
    answerCall(ENUM_OBJECT_ITEMS, 3, PDH_CSTATUS_NO_OBJECT);
}

// A sizing call that answers PDH_INVALID_ARGUMENT: the sizes cannot be
// trusted, so that stays a failure.
void sizingRefused()
{
    names();
    answerCall(ENUM_OBJECT_ITEMS, 1, PDH_INVALID_ARGUMENT);
}

// The lists grow between the sizing and the filling call: an object appears
// while the object list is taken, a process starts while Process's items are
// (its sizing call is the fifth item enumeration, after Processor's and
// Memory's two each).
void growing()
{
    names();
    beforeCall(ENUM_OBJECTS, 2, [] { addObject("Job", {"Jobs"}); });
    beforeCall(ENUM_OBJECT_ITEMS, 6, [] { findObject("Process")->instances.push_back("vi"); });
}

// The same growth on a release that says "too small" with PDH_INVALID_ARGUMENT.
void growingInvalidArgument()
{
    growing();
    setTooSmallAnswer(static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT));
}

// Names as real Windows machines have them, and worse: braces (ISATAP
// interfaces), leading dashes (HTTP request queues), '#', '/', a backslash,
// parentheses, repeats, and letters beyond ASCII in the ANSI code page
// (Windows-1252: "caf\xe9" is "café").  Each process's ID Process tells the
// rows apart.
void oddNames()
{
    addObject("Process", {"ID Process"},
              {"svchost", "a{b}", "}", "x#1", "(paren)", "a\\b", "caf\xe9", "\xc4rger", "svchost",
               "-x"});
    const struct {
        const char* instance;
        LONG id;
    } processes[] = {
        {"svchost#0", 4},   {"a{b}#0", 10},     {"}#0", 11},       {"x#1#0", 12},
        {"(paren)#0", 13},  {"a\\b#0", 14},     {"caf\xe9#0", 15}, {"\xc4rger#0", 16},
        {"svchost#1", 5},   {"-x#0", 17},
    };
    for (const auto& process : processes) {
        setValues(std::string("\\Process(") + process.instance + ")\\ID Process",
                  {value(process.id)});
    }
    addObject("HTTP Service Request Queues", {"CurrentQueueSize", "{Rejected} Requests", "*"},
              {"---9", "-x", "DefaultAppPool", "-x"});
    setValues("\\HTTP Service Request Queues(---9#0)\\CurrentQueueSize", {value(9)});
    setValues("\\HTTP Service Request Queues(-x#0)\\CurrentQueueSize", {value(1)});
    setValues("\\HTTP Service Request Queues(-x#1)\\CurrentQueueSize", {value(2)});
    setValues("\\HTTP Service Request Queues(-x#0)\\{Rejected} Requests", {value(3)});
    setValues("\\HTTP Service Request Queues(-x#1)\\*", {value(7)});
    addObject("Network Interface", {"Bytes Total/sec"},
              {"isatap.{6098EF16-4F8E-4E2C-9A3B-5D1C2B7A0E34}",
               "Reusable ISATAP Interface {1A2B3C4D-0000-4000-8000-00AA00BB00CC}",
               "Intel[R] PRO_1000 MT Network Connection"});
    setValues("\\Network Interface(isatap.{6098EF16-4F8E-4E2C-9A3B-5D1C2B7A0E34}#0)"
              "\\Bytes Total/sec",
              {value(1000)});
    setValues("\\Network Interface(Reusable ISATAP Interface "
              "{1A2B3C4D-0000-4000-8000-00AA00BB00CC}#0)\\Bytes Total/sec",
              {value(2000)});
    addObject("Odd {Object}", {"Count"});
    setValues("\\Odd {Object}\\Count", {value(42)});
    addObject("Thread", {"ID Thread"}, {"a{b}/0", "a{b}/1", "svchost/0"});
    setValues("\\Thread(a{b}/1#0)\\ID Thread", {value(21)});
}

// Names that no Windows machine gives but a scripted one may: a line break,
// a terminal's escape sequence, a tab and a bell, a byte that is not UTF-8, a
// brace, an instance named like the pseudo-instance.
void controlNames()
{
    addObject("Odd\nObject", {"Line\nBreak", "Tab\tBell\a"}, {"esc\x1b[31mred", "UNNAMED", "a{b}"});
    addObject("Plain", {"Caf\xe9"});
    setValues("\\Odd\nObject(esc\x1b[31mred#0)\\Line\nBreak", {value(7)});
    setValues("\\Plain\\Caf\xe9", {value(-2)});
}

void empty()
{
}

struct Scenario {
    const char* name;
    void (*script)();
};

const Scenario SCENARIOS[] = {
    {"machine", machine},
    {"refusing-machine", refusingMachine},
    {"names", names},
    {"names-without-query", namesWithoutQuery},
    {"objects-unavailable", objectsUnavailable},
    {"memory-gone", memoryGone},
    {"sizing-refused", sizingRefused},
    {"growing", growing},
    {"growing-invalid-argument", growingInvalidArgument},
    {"odd-names", oddNames},
    {"empty", empty},
    {"control-names", controlNames},
};

} // namespace

bool loadScenario(const std::string& name)
{
    reset();
    for (const Scenario& scenario : SCENARIOS) {
        if (name == scenario.name) {
            scenario.script();
            return true;
        }
    }
    return false;
}

} // namespace scripted

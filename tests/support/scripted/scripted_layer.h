// The scripted machine: the ten PDH functions of platform/pdh_api.h, the
// functions of platform/console.h and the two of platform/stamps.h, served
// from a script that a test writes before it runs the program's code.  Test executables link this layer in place of
// the platform's.
//
// A test typically does
//
//     scripted::reset();
//     scripted::addObject("Memory", {"Available Bytes", "Cache Faults/sec"});
//     scripted::addObject("Process", {"ID Process", "% Processor Time"}, {"idle", "sh", "sh"});
//     scripted::setValues("\\Process(sh#1)\\ID Process", {scripted::value(42)});
//     scripted::answerCall(scripted::ADD_COUNTER, 2, PDH_CSTATUS_NO_COUNTER);
//     ... run the program's code, in-process or in a child (runInChild, runProgram) ...
//     EXPECT_EQ(scripted::acceptedPaths(), (std::vector<std::string>{...}));
//
// A forked child inherits the script as it stood at the fork; what the child
// records stays in the child, so read the records back inside the child's body
// when a whole-program test needs them.
//
// What the layer promises (the design note on the platform seam):
// - Enumeration answers MULTI_SZ blocks in script order, sizes in characters
//   with every terminator.  A list fits when its needed size is 0, or when a
//   buffer is given and its size is at least the needed size.  When every list
//   fits, the call fills the buffers, sets the sizes to the needed sizes and
//   answers 0.  Otherwise it writes nothing, sets the sizes to the needed sizes
//   and answers: when no buffer at all was given (the sizing call), the sizing
//   answer (PDH_MORE_DATA by default, as current Windows does; see
//   setSizingAnswer); when buffers were given, the too-small answer
//   (PDH_MORE_DATA by default; see setTooSmallAnswer).
//   PdhEnumObjectItemsA on an object that is not scripted answers
//   PDH_CSTATUS_NO_OBJECT.
// - PdhAddCounterA takes "\\Object(Instance#N)\\Counter", "\\Object(Instance)\\Counter"
//   (the same as #0) or "\\Object\\Counter".  The instance part runs from the
//   first "(" after the object name to the last ")\\" of the path; a trailing
//   "#digits" in it is the index.  A path of another form answers
//   PDH_CSTATUS_BAD_COUNTERNAME, an unknown object PDH_CSTATUS_NO_OBJECT, an
//   unknown counter PDH_CSTATUS_NO_COUNTER, a bad query handle
//   PDH_INVALID_HANDLE.  A well-formed path whose instance the object does not
//   have (now) is accepted; its fetch fails.
// - PdhCollectQueryData takes one sample: it counts the collections of its
//   query.  A query without counters answers PDH_NO_DATA and takes none.
// - PdhGetFormattedCounterValue with PDH_FMT_LONG or PDH_FMT_DOUBLE answers, after the k-th
//   collection of the counter's query, the k-th entry of the counter's value
//   script (the last entry once k passes the end; value 0 when none is
//   scripted).  It answers PDH_INVALID_DATA before the first collection, for a
//   two-sample counter before the second, and when the counter's instance does
//   not exist at the time of the fetch, with CStatus PDH_CSTATUS_INVALID_DATA
//   (PDH_CSTATUS_NO_INSTANCE for a missing instance).  Any other format
//   answers PDH_INVALID_ARGUMENT; a handle of a closed query
//   PDH_INVALID_HANDLE.  A failed fetch leaves junk (0x5A5A5A5A) in longValue,
//   as a caller must not read it.
// - PdhGetCounterInfoA answers the counter's type (setCounterType; by default
//   PERF_COUNTER_BULK_COUNT for a two-sample counter, else
//   PERF_COUNTER_LARGE_RAWCOUNT) and its path's parts, with PDH_MORE_DATA and
//   the needed size when no buffer or too small a one is given.
// - PdhGetRawCounterValue answers, after the k-th collection, the k-th entry
//   of the counter's raw script (setRawValues), or else a raw sample made from
//   the k-th formatted value: FirstValue the value truncated toward zero,
//   SecondValue the collection's time.  Collection k is taken at
//   2026-01-02T03:04:05Z plus k - 1 seconds: TimeStamp is that time as a
//   FILETIME.  Before the first collection, or for a missing instance, it
//   answers PDH_INVALID_DATA with the CStatus a formatted fetch would have.
// - PdhGetCounterTimeBase answers 10,000,000 (100 ns units), as the Linux
//   layer does.
// - PdhCloseQuery ends the query and all its counter handles.
// - Calls are numbered per function from 1 since the last reset().  A call
//   whose number answerCall() names answers that status and does nothing else
//   (PdhAddCounterA still records the path it was given).
#ifndef MIREKAST_TESTS_SUPPORT_SCRIPTED_SCRIPTED_LAYER_H
#define MIREKAST_TESTS_SUPPORT_SCRIPTED_SCRIPTED_LAYER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/pdh_api.h"
#include "platform/stamps.h"

namespace scripted {

// ---- The whole script ----

// Forgets every object, value, answer, hook and record, of the PDH and of the
// console, and starts the call numbers again.  Call it first in every test.
void reset();

// ---- Objects ----

struct Object {
    std::string name;
    std::vector<std::string> counters;  // in enumeration order
    std::vector<std::string> instances; // in enumeration order, duplicates allowed; empty: none
    DWORD noInstancesSize = 0;          // instance size reported while `instances` is empty: 0, 1 or 2
    DWORD noCountersSize = 0;           // counter size reported while `counters` is empty: 0, 1 or 2
    std::vector<std::string> twoSampleCounters; // fail with PDH_INVALID_DATA until collected twice
};

// Appends an object to the enumeration order.  The reference stays valid until
// reset(); a test (or a hook, see beforeCall) may change the object through it.
Object& addObject(const std::string& name, const std::vector<std::string>& counters,
                  const std::vector<std::string>& instances = {});

// The first scripted object of that name, or null.
Object* findObject(const std::string& name);

// The object list's size while no object is scripted: 0, 1 or 2 (default 2).
void setNoObjectsSize(DWORD size);

// What the sizing call answers: PDH_MORE_DATA (default) or 0 (some older Windows).
void setSizingAnswer(PDH_STATUS status);

// What a filling call answers when a list no longer fits its buffer:
// PDH_MORE_DATA (default) or PDH_INVALID_ARGUMENT (some releases).
void setTooSmallAnswer(PDH_STATUS status);

// ---- Values and refusals ----

struct Fetch {
    PDH_STATUS status; // what PdhGetFormattedCounterValue answers
    LONG value;        // longValue, when status is 0
    double real;       // doubleValue, when status is 0
};
Fetch value(LONG longValue);
// A value beyond 32 bits or with a fraction: PDH_FMT_DOUBLE answers it whole,
// PDH_FMT_LONG truncated toward zero and saturated, as PDH does.
Fetch fullValue(double real);
Fetch failure(PDH_STATUS status = PDH_INVALID_DATA);

// What fetches of the counter at `path` answer after the 1st, 2nd, ...
// collection.  The path is taken in any of the three forms; "(i)" and "(i#0)"
// name the same counter.
void setValues(const std::string& path, const std::vector<Fetch>& fetches);

// The counter type (winperf.h) that PdhGetCounterInfoA and
// PdhGetRawCounterValue answer for a counter of an object, on every instance.
void setCounterType(const std::string& object, const std::string& counter, DWORD type);

struct Raw {
    PDH_STATUS status;  // what PdhGetRawCounterValue answers; 0: the values hold
    LONGLONG first;     // FirstValue
    LONGLONG second;    // SecondValue
    DWORD multiCount;   // MultiCount
};
Raw raw(LONGLONG first, LONGLONG second = 0, DWORD multiCount = 1);
Raw rawFailure(PDH_STATUS status = PDH_INVALID_DATA);

// What raw fetches of the counter at `path` answer after the 1st, 2nd, ...
// collection (the last entry once the collections pass the end).
void setRawValues(const std::string& path, const std::vector<Raw>& samples);

// The time base in PDH's units a second: 10,000,000.
const LONGLONG TIME_BASE = 10000000;
// Collection k's time (from 1) in the time base since the Unix epoch.
LONGLONG collectionTime(int k);

// Whether a script may name `path` (setValues, setRawValues, refuseCounter):
// a path of one of the three forms, which PdhAddCounterA would parse.  Names
// that hold "(", "\\" or ")\\" can make paths that are not; the script
// functions end the test on those.
bool isScriptablePath(const std::string& path);

// PdhAddCounterA answers `status` for this path (same forms as setValues).
void refuseCounter(const std::string& path, PDH_STATUS status = PDH_CSTATUS_NO_COUNTER);

// ---- Answers by call number ----

enum Function {
    ENUM_OBJECTS,       // PdhEnumObjectsA
    ENUM_OBJECT_ITEMS,  // PdhEnumObjectItemsA
    OPEN_QUERY,         // PdhOpenQueryA
    ADD_COUNTER,        // PdhAddCounterA
    COLLECT_QUERY_DATA, // PdhCollectQueryData
    GET_FORMATTED_VALUE,// PdhGetFormattedCounterValue
    CLOSE_QUERY,        // PdhCloseQuery
    GET_COUNTER_INFO,   // PdhGetCounterInfoA
    GET_RAW_VALUE,      // PdhGetRawCounterValue
    GET_TIME_BASE,      // PdhGetCounterTimeBase
    FUNCTION_COUNT
};

// The n-th call (from 1) of `function` answers `status` and does nothing else.
void answerCall(Function function, int n, PDH_STATUS status);

// Runs `action` right before the n-th call of `function` is served, e.g. to
// let a list grow between a sizing and a filling call.
void beforeCall(Function function, int n, const std::function<void()>& action);

// ---- Records ----

// Calls of `function` so far.
int callCount(Function function);

// Every path handed to PdhAddCounterA, in order; and those it answered 0 to.
std::vector<std::string> attemptedPaths();
std::vector<std::string> acceptedPaths();

// The path a counter handle was added with; "" for a handle the layer never gave.
std::string counterPath(PDH_HCOUNTER handle);

// One enumeration call as the layer received it.
struct EnumCall {
    Function function;     // ENUM_OBJECTS or ENUM_OBJECT_ITEMS
    std::string object;    // ENUM_OBJECT_ITEMS: the object asked for
    bool localLiveData;    // no data source and no machine name were given
    bool counterBuffer;    // a (counter or object) list buffer was given
    DWORD counterSize;     // its size as passed in
    bool instanceBuffer;   // ENUM_OBJECT_ITEMS: an instance list buffer was given
    DWORD instanceSize;    // its size as passed in
    DWORD detailLevel;
    DWORD flagsOrRefresh;  // dwFlags, or bRefresh of PdhEnumObjectsA
    PDH_STATUS answer;
};
std::vector<EnumCall> enumCalls();

// Every call of the layer, PDH and console, in order, one line each:
// "PdhEnumObjectsA", "PdhEnumObjectItemsA Process", "PdhOpenQueryA",
// "PdhAddCounterA \\Process(sh#1)\\ID Process", "PdhCollectQueryData",
// "PdhGetFormattedCounterValue \\Process(sh#1)\\ID Process", "PdhCloseQuery",
// "PdhGetCounterInfoA \\...", "PdhGetRawCounterValue \\...",
// "PdhGetCounterTimeBase \\...",
// "beginConsoleSampling", "endConsoleSampling", "keyPressWaiting",
// "sleepMilliseconds 1000", "sleepUntilMillis 200", "holdEndingSignals",
// "endByHeldSignal".
std::vector<std::string> events();

// ---- Console ----

// keyPressWaiting() answers true from its n-th call on (from 1); 0: never (default).
void keyWaitingFromPoll(int n);

// Calls of keyPressWaiting() so far.
int keyPolls();

// Every sleepMilliseconds() argument, in order; nothing sleeps.
std::vector<unsigned> sleeps();

// Calls of beginConsoleSampling() and endConsoleSampling() so far.
int consoleBegins();
int consoleEnds();

// The clock of monotonicMillis(): 0 at reset, moved only by this call and by
// sleepUntilMillis(), which sets it to the time it was given when that lies
// ahead (and leaves it when a signal is held, as a cut-short sleep would).
void advanceMonotonicClock(int64_t milliseconds);
int64_t monotonicClock();

// Whether holdEndingSignals() was called.
bool endingSignalsHeld();

// An ending signal arrives: held when holdEndingSignals() was called and none
// is held yet; otherwise it ends the process at once, as the real one would.
void sendEndingSignal(int signalNumber);

// Runs `action` in endByHeldSignal(), right before the process ends by the
// held signal (say, to write the record of calls where the test can read it).
void beforeEndBySignal(const std::function<void()>& action);

// ---- Stamps ----

// wallClockNow() answers `first`, then `first` plus `stepMillis` more at each
// later call.  By default 2026-01-02T03:04:05.678Z, UTC, a second a call.
void setWallClock(const WallTime& first, int64_t stepMillis);

// What machineName() answers; "TESTHOST" by default.
void setMachineName(const std::string& name);

} // namespace scripted

#endif

// libFuzzer target: the program's whole flow, from the command line to the
// last line of output, on a scripted machine decoded from the input: objects,
// instances and counters with any byte names, lists that grow between their
// sizing and filling calls, counter types, raw and formatted values at their
// edges, failures of any PDH call at any point, and a command line drawn from
// the options that shape the output (or, for the seeds, given whole).
//
// The program ends the process on every failure, so each input runs in a
// forked child that writes to pipes; the child ends with _exit and hands its
// coverage counters back through shared memory, so that libFuzzer still sees
// what the program's code did.  The parent then checks what came out against
// the forms' own rules (output_checks.h) and aborts on the first violation.
//
// Input layout (bytes past the end read as 0):
//   [scenario]  0: an empty machine; 1..12: a golden case's machine to start from
//   [mode]      bit 7: the arguments follow as [count] then [length][bytes] each;
//               else the form is mode % 10 and the options follow (drawCommandLine)
//   then operations on the machine until the input ends (decodeMachine).
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sanitizer/common_interface_defs.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "coverage_region.h"
#include "driver/program.h"
#include "output_checks.h"
#include "support/forked_process.h"
#include "support/scripted/scenarios.h"
#include "support/scripted/scripted_layer.h"

extern "C" void __real_exit(int code);

namespace {

// ---- The input ----

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; i++) {
            value = value << 8 | byte();
        }
        return value;
    }
    uint64_t longWord() { return static_cast<uint64_t>(word()) << 32 | word(); }
    // Up to `limit` bytes of the input as they are; NUL, which no name can
    // hold, stands for 0x01.
    std::string bytes(size_t length)
    {
        std::string text;
        while (length-- > 0 && more()) {
            uint8_t c = byte();
            text.push_back(static_cast<char>(c == 0 ? 1 : c));
        }
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Names that have tripped programs like this one, offered beside raw bytes.
const char* const NOTABLE_NAMES[] = {
    "",          "_Total",    "UNNAMED",   "*",        "{",         "}",        "a{b}",
    "a\\{b\\}",  "-x",        "\\-x",      "#",        "sh#1",      "a#0",      "(x)",
    "a)\\b",     "\\",        "/",         "sh/0",     "-i",        "-c",       "\"q\"",
    "a,b",       "\xff\xfe",  "\xc3",      "\xed\xa0\x80", "\x1b[31mred", "\n",  "a\nb",
    "\r",        "\t",        " ",         "% Processor Time", "Thread Count", "Free Megabytes",
    "x_total",   "Bytes/sec", "Process",   "Memory",   "-",         "--count",  "caf\xc3\xa9",
    "\x7f",      "a b",       "\xe2\x80\xae", "----",  "|",
};
const size_t NOTABLE_COUNT = sizeof NOTABLE_NAMES / sizeof NOTABLE_NAMES[0];

// A name: one of the notable ones, a long run, or raw bytes.
std::string decodeName(Reader& in)
{
    uint8_t kind = in.byte();
    if (kind < 96) {
        return NOTABLE_NAMES[kind % NOTABLE_COUNT];
    }
    if (kind < 104) {
        size_t length = kind < 100 ? 300 : 1100; // past a table's width, past a path's room
        return std::string(length, static_cast<char>('a' + kind % 26));
    }
    return in.bytes(kind % 48);
}

const double EDGE_REALS[] = {
    0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 99.5, 100.0, 2147483647.0, 2147483648.0, -2147483648.0,
    -2147483649.0, 4294967296.0, 9223372036854775808.0, -9223372036854775808.0,
    18446744073709551616.0, 1e21, 1e308, -1e308, 5e-324, std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 123456.789,
};
const LONG EDGE_LONGS[] = {0, 1, -1, 100, INT32_MAX, INT32_MIN, 0x5A5A5A5A, 4096};
const LONGLONG EDGE_RAWS[] = {0, 1, -1, INT64_MAX, INT64_MIN, 2147483648LL, 4294967296LL,
                              10000000LL, -10000000LL, 1LL << 62};
const DWORD STATUSES[] = {
    ERROR_SUCCESS, PDH_MORE_DATA, PDH_INVALID_DATA, PDH_INVALID_ARGUMENT, PDH_CSTATUS_NO_OBJECT,
    PDH_CSTATUS_NO_COUNTER, PDH_CSTATUS_BAD_COUNTERNAME, PDH_NO_DATA, PDH_INVALID_HANDLE,
    PDH_CSTATUS_NO_MACHINE, PDH_CSTATUS_INVALID_DATA, PDH_CSTATUS_NO_INSTANCE,
    PDH_MEMORY_ALLOCATION_FAILURE, PDH_CALC_NEGATIVE_VALUE, PDH_INSUFFICIENT_BUFFER, PDH_RETRY,
};

PDH_STATUS status(uint8_t choice)
{
    return static_cast<PDH_STATUS>(STATUSES[choice % (sizeof STATUSES / sizeof STATUSES[0])]);
}

const DWORD COUNTER_TYPES[] = {
    PERF_COUNTER_RAWCOUNT_HEX, PERF_COUNTER_LARGE_RAWCOUNT_HEX, PERF_COUNTER_RAWCOUNT,
    PERF_COUNTER_LARGE_RAWCOUNT, PERF_COUNTER_DELTA, PERF_COUNTER_LARGE_DELTA,
    PERF_COUNTER_COUNTER, PERF_COUNTER_BULK_COUNT, PERF_COUNTER_TIMER, PERF_COUNTER_TIMER_INV,
    PERF_100NSEC_TIMER, PERF_100NSEC_TIMER_INV, PERF_COUNTER_QUEUELEN_TYPE,
    PERF_COUNTER_LARGE_QUEUELEN_TYPE, PERF_COUNTER_100NS_QUEUELEN_TYPE, PERF_RAW_FRACTION,
    PERF_AVERAGE_TIMER, PERF_AVERAGE_BULK, PERF_ELAPSED_TIME,
};

template <typename T, size_t N>
const T& pick(const T (&table)[N], uint8_t choice)
{
    return table[choice % N];
}

// The golden cases' machines, by the number the seeds give them.
const char* const SCENARIOS[] = {
    "",      "machine", "refusing-machine", "names", "names-without-query", "objects-unavailable",
    "memory-gone", "sizing-refused", "growing", "growing-invalid-argument", "empty",
    "odd-names", "control-names",
};

// What the harness knows of the machine it scripted, to draw sets from.
struct MachineObject {
    std::string name;
    std::vector<std::string> counters;
    std::vector<std::string> instances;
};

struct Machine {
    std::vector<MachineObject> objects;
};

scripted::Object* scriptedObject(Machine& machine, size_t index)
{
    // Objects of one name: the layer finds the first, as PDH would.
    return scripted::findObject(machine.objects[index].name);
}

// "\\Object(Instance#N)\\Counter" of some counter of the machine.
std::string decodePath(Reader& in, const Machine& machine)
{
    if (machine.objects.empty()) {
        return "\\" + decodeName(in) + "\\" + decodeName(in);
    }
    const MachineObject& object = machine.objects[in.byte() % machine.objects.size()];
    std::string counter = object.counters.empty() ? decodeName(in)
                                                  : object.counters[in.byte() % object.counters.size()];
    if (object.instances.empty()) {
        return "\\" + object.name + "\\" + counter;
    }
    uint8_t choice = in.byte();
    return "\\" + object.name + "(" + object.instances[choice % object.instances.size()] + "#" +
           std::to_string(choice / object.instances.size() % 3) + ")\\" + counter;
}

scripted::Fetch decodeFetch(Reader& in)
{
    uint8_t kind = in.byte();
    switch (kind % 6) {
    case 0:
        return scripted::value(pick(EDGE_LONGS, in.byte()));
    case 1:
        return scripted::fullValue(pick(EDGE_REALS, in.byte()));
    case 2:
        return scripted::failure(status(in.byte()));
    case 3:
        return scripted::value(static_cast<LONG>(in.word()));
    case 4: {
        uint64_t bits = in.longWord();
        double real = 0;
        memcpy(&real, &bits, sizeof real);
        return scripted::fullValue(real);
    }
    default:
        return scripted::value(static_cast<LONG>(kind / 6));
    }
}

scripted::Raw decodeRaw(Reader& in)
{
    uint8_t kind = in.byte();
    if (kind % 4 == 0) {
        return scripted::rawFailure(status(in.byte()));
    }
    LONGLONG first = kind % 4 == 1 ? static_cast<LONGLONG>(in.longWord()) : pick(EDGE_RAWS, in.byte());
    LONGLONG second = pick(EDGE_RAWS, in.byte());
    return scripted::raw(first, second, in.byte() % 3);
}

// What a hook does to the machine right before a numbered call.
void decodeGrowth(Reader& in, Machine& machine)
{
    uint8_t kind = in.byte();
    scripted::Function function = kind & 1 ? scripted::ENUM_OBJECT_ITEMS : scripted::ENUM_OBJECTS;
    int call = 1 + (kind >> 1) % 12;
    uint8_t what = in.byte();
    std::string name = decodeName(in);
    size_t target = machine.objects.empty() ? 0 : what % machine.objects.size();
    std::string objectName = machine.objects.empty() ? "" : machine.objects[target].name;
    scripted::beforeCall(function, call, [what, name, objectName] {
        scripted::Object* object = scripted::findObject(objectName);
        switch (what % 4) {
        case 0:
            scripted::addObject(name, {"Count"}, {});
            break;
        case 1:
            if (object != nullptr) {
                object->instances.push_back(name);
            }
            break;
        case 2:
            if (object != nullptr) {
                object->counters.push_back(name);
            }
            break;
        default:
            if (object != nullptr && !object->instances.empty()) {
                object->instances.pop_back(); // a process ended
            }
            break;
        }
    });
}

void decodeMachine(Reader& in, Machine& machine)
{
    while (in.more()) {
        uint8_t operation = in.byte();
        switch (operation % 12) {
        case 0:
        case 1: { // an object
            MachineObject object;
            object.name = decodeName(in);
            uint8_t shape = in.byte();
            for (int i = shape % 5; i > 0; i--) {
                object.counters.push_back(decodeName(in));
            }
            for (int i = (shape / 5) % 6; i > 0; i--) {
                object.instances.push_back(decodeName(in));
            }
            scripted::Object& added = scripted::addObject(object.name, object.counters, object.instances);
            added.noInstancesSize = (shape / 30) % 3;
            uint8_t twoSample = in.byte();
            for (size_t i = 0; i < object.counters.size(); i++) {
                if ((twoSample >> i) & 1) {
                    added.twoSampleCounters.push_back(object.counters[i]);
                }
            }
            machine.objects.push_back(object);
            break;
        }
        case 2: // another instance, often of a name there is already
            if (!machine.objects.empty()) {
                size_t index = in.byte() % machine.objects.size();
                MachineObject& object = machine.objects[index];
                uint8_t how = in.byte();
                std::string name = how % 2 == 0 && !object.instances.empty()
                                       ? object.instances[how / 2 % object.instances.size()]
                                       : decodeName(in);
                object.instances.push_back(name);
                scripted::Object* scriptedOne = scriptedObject(machine, index);
                if (scriptedOne != nullptr) {
                    scriptedOne->instances.push_back(name);
                }
            }
            break;
        case 3: { // formatted values
            std::string path = decodePath(in, machine);
            std::vector<scripted::Fetch> fetches;
            for (int i = 1 + in.byte() % 3; i > 0; i--) {
                fetches.push_back(decodeFetch(in));
            }
            if (scripted::isScriptablePath(path)) {
                scripted::setValues(path, fetches);
            }
            break;
        }
        case 4: // a counter's type
            if (!machine.objects.empty()) {
                const MachineObject& object = machine.objects[in.byte() % machine.objects.size()];
                std::string counter = object.counters.empty()
                                          ? decodeName(in)
                                          : object.counters[in.byte() % object.counters.size()];
                uint8_t kind = in.byte();
                scripted::setCounterType(object.name, counter,
                                         kind < 240 ? pick(COUNTER_TYPES, kind) : in.word());
            }
            break;
        case 5: { // raw values
            std::string path = decodePath(in, machine);
            std::vector<scripted::Raw> samples;
            for (int i = 1 + in.byte() % 3; i > 0; i--) {
                samples.push_back(decodeRaw(in));
            }
            if (scripted::isScriptablePath(path)) {
                scripted::setRawValues(path, samples);
            }
            break;
        }
        case 6: { // a call that fails (or answers 0 where it should not)
            uint8_t which = in.byte();
            scripted::answerCall(static_cast<scripted::Function>(which % scripted::FUNCTION_COUNT),
                                 1 + (which / scripted::FUNCTION_COUNT) % 24,
                                 status(in.byte()));
            break;
        }
        case 7:
            decodeGrowth(in, machine);
            break;
        case 8: {
            std::string path = decodePath(in, machine);
            PDH_STATUS refusal = status(in.byte());
            if (scripted::isScriptablePath(path)) {
                scripted::refuseCounter(path, refusal);
            }
            break;
        }
        case 9: {
            uint8_t answers = in.byte();
            scripted::setNoObjectsSize(answers % 3);
            scripted::setSizingAnswer(status(answers & 4 ? 0 : 1));
            scripted::setTooSmallAnswer(status(answers & 8 ? 3 : 1));
            break;
        }
        case 10:
            scripted::setMachineName(decodeName(in));
            break;
        default: {
            WallTime first = {};
            uint8_t when = in.byte();
            const int64_t EDGE_TIMES[] = {0, -1, 1767323045678LL, 253402300799999LL, -62135596800000LL,
                                          951782400000LL};
            first.utcMillis = pick(EDGE_TIMES, when);
            const int32_t BIASES[] = {0, 60, -60, -780, 840, 300, 1440 * 2};
            first.biasMinutes = pick(BIASES, static_cast<uint8_t>(when / 8));
            std::string zone = decodeName(in).substr(0, sizeof first.zoneName - 1);
            memcpy(first.zoneName, zone.c_str(), zone.size() + 1);
            scripted::setWallClock(first, in.byte() % 2 == 0 ? 1000 : 0);
            break;
        }
        }
    }
}

// ---- The command line ----

enum Form {
    TABLES, LIST, LONG_LIST, NAMES, OBJECT_NAMES, CSV, JSON, PROMETHEUS, JSON_NAMES,
    JSON_OBJECT_NAMES, FORM_COUNT, RAW_ARGUMENTS
};

struct CommandLine {
    Form form = TABLES;
    std::vector<std::string> args{"mirekast"};
    bool decimal = false;
    int screenWidth = 80;
    size_t passes = 1;
    // A set picks the object, instance and counter names of the machine by
    // number; they are known only once the machine is decoded.
    std::vector<uint8_t> setBytes;
    bool allObjects = false;
};

// A name as a set spec: braces and backslashes escaped, and a leading '-',
// which would read as an option.
std::string asSpec(const std::string& name)
{
    std::string spec = name.size() > 0 && name[0] == '-' ? "\\" : "";
    for (char c : name) {
        if (c == '{' || c == '}' || c == '\\') {
            spec.push_back('\\');
        }
        spec.push_back(c);
    }
    return spec;
}

void decodeCommandLine(Reader& in, uint8_t mode, CommandLine& line)
{
    if ((mode & 0x80) != 0) {
        line.form = RAW_ARGUMENTS;
        for (int count = in.byte() % 24; count > 0; count--) {
            std::string arg = in.bytes(in.byte());
            arg.erase(std::remove(arg.begin(), arg.end(), '\x01'), arg.end());
            line.args.push_back(arg);
        }
        return;
    }
    line.form = static_cast<Form>(mode % FORM_COUNT);
    uint8_t options = in.byte();
    line.decimal = (options & 1) != 0;
    bool twice = (options & 2) != 0;
    uint32_t count = (options >> 2) & 3;
    line.allObjects = (options & 0x80) != 0;
    static const char* const FORM_ARGS[FORM_COUNT][3] = {
        {nullptr}, {"-l"}, {"-ll"}, {"-L"}, {"-LO"}, {"--format", "csv"}, {"--format", "json"},
        {"--format", "prometheus"}, {"-L", "--format", "json"}, {"-LO", "--format=json"},
    };
    for (const char* arg : FORM_ARGS[line.form]) {
        if (arg != nullptr) {
            line.args.push_back(arg);
        }
    }
    if (line.decimal) {
        line.args.push_back("-d");
    }
    if (twice && !line.allObjects) {
        line.args.push_back("-r1");
    }
    if (count > 0) {
        line.args.push_back("--count");
        line.args.push_back(std::to_string(count));
        line.passes = count;
    }
    static const int WIDTHS[][2] = {{0, 0}, {20, 8}, {200, 8}, {44, 20}, {2000, 30}, {80, 12}, {26, 11}, {23, 9}};
    const int* width = WIDTHS[(options >> 4) & 7];
    if (width[0] != 0) {
        line.args.push_back("-sw");
        line.args.push_back(std::to_string(width[0]));
        line.args.push_back("-cw");
        line.args.push_back(std::to_string(width[1]));
        line.screenWidth = width[0];
    }
    if (line.allObjects) {
        line.args.push_back("-a");
    }
    for (int i = 0; i < 24; i++) {
        line.setBytes.push_back(in.byte());
    }
}

// The sets, drawn from the machine's names (or raw bytes) by setBytes.
void drawSets(CommandLine& line, const Machine& machine)
{
    if (line.form == RAW_ARGUMENTS || line.allObjects) {
        return;
    }
    Reader in(line.setBytes.data(), line.setBytes.size());
    for (int sets = 1 + in.byte() % 3; sets > 0; sets--) {
        uint8_t choice = in.byte();
        const MachineObject* object =
            machine.objects.empty() || choice >= 224 ? nullptr
                                                     : &machine.objects[choice % machine.objects.size()];
        line.args.push_back("-s");
        line.args.push_back("{");
        line.args.push_back(asSpec(object != nullptr ? object->name : NOTABLE_NAMES[choice % NOTABLE_COUNT]));
        for (int groups = 1 + in.byte() % 2; groups > 0; groups--) {
            line.args.push_back("-i");
            for (int specs = 1 + in.byte() % 2; specs > 0; specs--) {
                uint8_t spec = in.byte();
                if (spec < 128 || object == nullptr || object->instances.empty()) {
                    line.args.push_back("*");
                } else {
                    line.args.push_back(asSpec(object->instances[spec % object->instances.size()]));
                }
            }
            line.args.push_back("-c");
            for (int specs = 1 + in.byte() % 2; specs > 0; specs--) {
                uint8_t spec = in.byte();
                if (spec < 96 || object == nullptr || object->counters.empty()) {
                    line.args.push_back("*");
                } else {
                    line.args.push_back(asSpec(object->counters[spec % object->counters.size()]));
                }
            }
        }
        line.args.push_back("}");
    }
}

// ---- Running it ----

jmp_buf backToChild;
bool inProgram = false;
int programExit = 0;

uint8_t* counters = nullptr;       // this process's
uint8_t* sharedCounters = nullptr; // the child's, handed back
size_t counterCount = 0;

void runProgramInChild(std::vector<std::string> args)
{
    // What libFuzzer set up for itself must not act in the child: a finding
    // here is reported on the child's standard error and judged by the parent.
    __sanitizer_set_death_callback(nullptr);
    for (int sig : {SIGABRT, SIGILL, SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGXFSZ, SIGALRM}) {
        signal(sig, SIG_DFL);
    }
    alarm(10); // a run that hangs ends by SIGALRM, which the parent reports
    std::vector<char*> argv = argumentVector(args);
    int code = 0;
    if (setjmp(backToChild) == 0) {
        inProgram = true;
        code = programMain(static_cast<int>(args.size()), argv.data());
        inProgram = false;
    } else {
        code = programExit;
    }
    fflush(stdout);
    fflush(stderr);
    if (counterCount > 0) {
        memcpy(sharedCounters, counters, counterCount);
    }
    _exit(code);
}

[[noreturn]] void violated(const CommandLine& line, const ChildResult& run, const std::string& what)
{
    fprintf(stderr, "\n==== machine-flow invariant violated: %s\n==== arguments:", what.c_str());
    for (const std::string& arg : line.args) {
        fprintf(stderr, " [%s]", arg.c_str());
    }
    fprintf(stderr, "\n==== exit %d, signal %d\n==== stderr:\n%s\n==== stdout (first 4000 bytes):\n%s\n",
            run.exitCode, run.signal, run.err.c_str(), run.out.substr(0, 4000).c_str());
    abort();
}

bool startsWith(const std::string& text, const char* start)
{
    return text.compare(0, strlen(start), start) == 0;
}

// Exit codes 0 to 5, each with its message.  A sanitizer's finding ends the
// child with exit code 1 and its report, which is not the message of 1.  (No
// search for the report's words: arguments echoed in messages may hold them.)
std::string checkEnding(const ChildResult& run)
{
    if (run.signal != 0) {
        return "the run died of signal " + std::to_string(run.signal);
    }
    switch (run.exitCode) {
    case 0:
        return run.err.empty() ? "" : "exit 0 with a message";
    case 1:
        return run.err == "Failed to allocate memory.\n" ? "" : "exit 1 without its message";
    case 2:
        return run.err == "Failed to Enumerate Objects\n" ||
                       run.err == "Failed to Enumerate Object Items\n" ||
                       run.err == "Failed to open new query.\n"
                   ? ""
                   : "exit 2 without its message";
    case 3:
        return startsWith(run.err, "Error: Undefined argument \"") ? "" : "exit 3 without its message";
    case 4:
        return startsWith(run.err, "Error: ") ? "" : "exit 4 without its message";
    case 5:
        return startsWith(run.err, "Error: Failed to write standard output: ") ? "" : "exit 5 without its message";
    default:
        return "exit code " + std::to_string(run.exitCode);
    }
}

std::string checkOutput(const CommandLine& line, const ChildResult& run)
{
    const std::string& out = run.out;
    bool finished = run.exitCode == 0;
    if (!finished && out.empty()) {
        return ""; // a command-line error, a failed enumeration before the first line
    }
    long control = -1;
    std::string wrong;
    switch (line.form) {
    case TABLES:
        control = forbiddenControl(out, "\n");
        wrong = checkTables(out, line.screenWidth);
        break;
    case LIST:
        control = forbiddenControl(out, "\n\t");
        wrong = checkList(out, line.decimal);
        break;
    case LONG_LIST:
        control = forbiddenControl(out, "\n\t");
        wrong = checkLongList(out, line.decimal);
        break;
    case NAMES:
    case OBJECT_NAMES:
        control = forbiddenControl(out, "\n\t");
        wrong = checkNameListing(out, line.form == OBJECT_NAMES);
        break;
    case CSV:
        control = forbiddenControl(out, "\n\r\t");
        if (finished || !out.empty()) {
            wrong = checkCsv(out, finished ? line.passes : ANY_COUNT);
        }
        break;
    case JSON:
        control = forbiddenControl(out, "\n");
        wrong = checkJsonLines(out, finished ? line.passes : ANY_COUNT);
        break;
    case PROMETHEUS:
        control = forbiddenControl(out, "\n\t");
        wrong = checkPrometheus(out);
        break;
    case JSON_NAMES:
    case JSON_OBJECT_NAMES:
        control = forbiddenControl(out, "\n");
        if (finished) {
            wrong = checkJsonDocument(out);
        }
        break;
    default:
        break;
    }
    if (control >= 0) {
        return "a control byte " + std::to_string(static_cast<unsigned char>(out[control])) +
               " at output byte " + std::to_string(control);
    }
    return wrong;
}

} // namespace

extern "C" void __wrap_exit(int code)
{
    if (!inProgram) {
        __real_exit(code);
    }
    programExit = code;
    longjmp(backToChild, 1);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    counters = coverageCounters();
    counterCount = coverageCounterCount();
    if (counterCount > 0) {
        void* shared = mmap(nullptr, counterCount, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) {
            counterCount = 0;
        } else {
            sharedCounters = static_cast<uint8_t*>(shared);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    uint8_t scenario = in.byte();
    uint8_t mode = in.byte();
    scripted::loadScenario(SCENARIOS[scenario % (sizeof SCENARIOS / sizeof SCENARIOS[0])]);
    CommandLine line;
    decodeCommandLine(in, mode, line);
    // Given whole, the arguments may hold -r: it ends after its first pass
    // rather than waiting for a key.  A key would end --count's passes too.
    scripted::keyWaitingFromPoll(line.form == RAW_ARGUMENTS ? 2 : 0);
    Machine machine;
    decodeMachine(in, machine);
    drawSets(line, machine);

    if (counterCount > 0) {
        memset(sharedCounters, 0, counterCount);
    }
    ChildResult run = runForked([&line] { runProgramInChild(line.args); });
    // The program's coverage, as the child saw it, for libFuzzer to judge.
    for (size_t i = 0; i < counterCount; i++) {
        counters[i] = std::max(counters[i], sharedCounters[i]);
    }

    std::string wrong = checkEnding(run);
    if (wrong.empty()) {
        wrong = checkOutput(line, run);
    }
    if (!wrong.empty()) {
        violated(line, run, wrong);
    }
    return 0;
}

// The Prometheus form whole program against a scripted machine: for every
// counter type the program knows, two raw samples give two expositions, and
// rate() between them (or the gauge) is the value PDH's formula for the type
// gives from the same two samples; series belong to one instance for its life.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

struct Exposition {
    std::map<std::string, double> samples;    // "family{labels}" to value
    std::map<std::string, std::string> types; // family to its TYPE
    std::vector<std::string> comments;        // other lines that begin with #
};

Exposition parse(const std::string& text)
{
    Exposition exposition;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("# TYPE ", 0) == 0) {
            std::string rest = line.substr(7);
            size_t space = rest.find(' ');
            exposition.types[rest.substr(0, space)] = rest.substr(space + 1);
        } else if (line.rfind("# HELP ", 0) == 0) {
            continue;
        } else if (line.rfind("#", 0) == 0) {
            exposition.comments.push_back(line);
        } else {
            size_t space = line.rfind(' ');
            EXPECT_EQ(exposition.samples.count(line.substr(0, space)), 0u) << line;
            exposition.samples[line.substr(0, space)] = std::stod(line.substr(space + 1));
        }
    }
    return exposition;
}

Exposition run(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {"mirekast"};
    full.insert(full.end(), args.begin(), args.end());
    full.insert(full.end(), {"--format", "prometheus"});
    ChildResult result = runProgram(full);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
    return parse(result.out);
}

const double F = static_cast<double>(scripted::TIME_BASE);

struct Sample {
    LONGLONG first;
    LONGLONG second;
};

// What PDH formats from two raw samples of a counter of `type`, by the
// formulas of the SDK's counter types; `time0`, `time1` are the collections'
// times in the time base.
double pdhFormula(DWORD type, Sample s0, Sample s1)
{
    double n = static_cast<double>(s1.first - s0.first);
    double d = static_cast<double>(s1.second - s0.second);
    switch (type) {
    case PERF_COUNTER_COUNTER:
    case PERF_COUNTER_BULK_COUNT:
        return n / (d / F);
    case PERF_100NSEC_TIMER:
    case PERF_PRECISION_100NS_TIMER:
    case PERF_COUNTER_TIMER:
        return 100.0 * n / d;
    case PERF_100NSEC_TIMER_INV:
    case PERF_COUNTER_TIMER_INV:
        return 100.0 * (1.0 - n / d);
    case PERF_COUNTER_100NS_QUEUELEN_TYPE:
    case PERF_COUNTER_QUEUELEN_TYPE:
    case PERF_COUNTER_LARGE_QUEUELEN_TYPE:
        return n / d;
    case PERF_AVERAGE_TIMER:
        return (n / F) / d;
    case PERF_AVERAGE_BULK:
        return n / d;
    case PERF_RAW_FRACTION:
    case PERF_LARGE_RAW_FRACTION:
        return 100.0 * static_cast<double>(s1.first) / static_cast<double>(s1.second);
    case PERF_ELAPSED_TIME:
        return static_cast<double>(s1.second - s1.first) / F;
    default:
        return static_cast<double>(s1.first);
    }
}

enum Relation {
    GAUGE,           // the gauge is the value
    RATE,            // rate() of the counter is the value
    RATE_PERCENT,    // 100 × rate() is the value
    RATE_RATIO,      // rate() of the first over rate() of the second is the value
    GAUGE_PERCENT,   // 100 × the gauge is the value
    START_TIME,      // the collection's time less the gauge is the value
};

struct TypeCase {
    DWORD type;
    const char* counter;
    Sample s0, s1;
    Relation relation;
    const char* family;
    const char* kind;
    const char* second; // RATE_RATIO: the denominator's family
};

// Collection k's time in the time base, as the scripted layer stamps it.
LONGLONG at(int k)
{
    return scripted::collectionTime(k);
}

TEST(PrometheusReport, RateOfEveryCumulativeTypeIsWhatPdhFormats)
{
    const LONGLONG t1 = at(1);
    const LONGLONG t2 = at(2);
    // Ticks of the time base for the tick timers; 100 ns for the others.
    const TypeCase cases[] = {
        {PERF_COUNTER_RAWCOUNT, "Open Files", {12, 0}, {17, 0}, GAUGE, "mirekast_odd_open_files",
         "gauge", ""},
        {PERF_COUNTER_LARGE_RAWCOUNT, "Cache KBytes", {5, 0}, {3000000000LL, 0}, GAUGE,
         "mirekast_odd_cache_bytes", "gauge", ""},
        {PERF_COUNTER_RAWCOUNT_HEX, "Flags", {1, 0}, {255, 0}, GAUGE, "mirekast_odd_flags",
         "gauge", ""},
        {PERF_COUNTER_LARGE_RAWCOUNT_HEX, "Mask", {1, 0}, {4294967296LL, 0}, GAUGE,
         "mirekast_odd_mask", "gauge", ""},
        {PERF_COUNTER_COUNTER, "Calls/sec", {1000, t1}, {1750, t2}, RATE,
         "mirekast_odd_calls_total", "counter", ""},
        {PERF_COUNTER_BULK_COUNT, "Bytes Read/sec", {1LL << 40, t1}, {(1LL << 40) + 4096, t2},
         RATE, "mirekast_odd_read_bytes_total", "counter", ""},
        {PERF_100NSEC_TIMER, "% Busy Time", {30000000, t1}, {32500000, t2}, RATE_PERCENT,
         "mirekast_odd_busy_seconds_total", "counter", ""},
        {PERF_PRECISION_100NS_TIMER, "% Wait Time", {0, t1}, {9000000, t2}, RATE_PERCENT,
         "mirekast_odd_wait_seconds_total", "counter", ""},
        {PERF_100NSEC_TIMER_INV, "% Used Time", {t1 - 500000000, t1}, {t2 - 497500000, t2},
         RATE_PERCENT, "mirekast_odd_used_seconds_total", "counter", ""},
        {PERF_COUNTER_TIMER, "% Run Time", {400000000, t1}, {406000000, t2}, RATE_PERCENT,
         "mirekast_odd_run_seconds_total", "counter", ""},
        {PERF_COUNTER_TIMER_INV, "% Work Time", {t1 / 2, t1}, {t1 / 2 + 7500000, t2},
         RATE_PERCENT, "mirekast_odd_work_seconds_total", "counter", ""},
        {PERF_COUNTER_100NS_QUEUELEN_TYPE, "Avg. Queue Length", {120000000, t1},
         {145000000, t2}, RATE, "mirekast_odd_queue_length_seconds_total", "counter", ""},
        {PERF_COUNTER_QUEUELEN_TYPE, "Avg. Wait Length", {0, t1}, {5000000, t2}, RATE,
         "mirekast_odd_wait_length_seconds_total", "counter", ""},
        {PERF_COUNTER_LARGE_QUEUELEN_TYPE, "Avg. Line Length", {1LL << 50, t1},
         {(1LL << 50) + 30000000, t2}, RATE, "mirekast_odd_line_length_seconds_total", "counter",
         ""},
        {PERF_AVERAGE_TIMER, "Avg. sec/Request", {20000000, 400}, {20600000, 440}, RATE_RATIO,
         "mirekast_odd_request_time_seconds_total", "counter", "mirekast_odd_requests_total"},
        {PERF_AVERAGE_BULK, "Avg. Bytes/Packet", {1000000, 1000}, {1096000, 1064}, RATE_RATIO,
         "mirekast_odd_packet_bytes_total", "counter", "mirekast_odd_packets_total"},
        {PERF_RAW_FRACTION, "% Used", {1, 4}, {3, 8}, GAUGE_PERCENT, "mirekast_odd_used_ratio",
         "gauge", ""},
        {PERF_LARGE_RAW_FRACTION, "% Full", {1LL << 40, 1LL << 41}, {3LL << 40, 1LL << 42},
         GAUGE_PERCENT, "mirekast_odd_full_ratio", "gauge", ""},
        {PERF_ELAPSED_TIME, "Elapsed Time", {t1 - 1234 * scripted::TIME_BASE, t1},
         {t2 - 1235 * scripted::TIME_BASE, t2}, START_TIME, "mirekast_odd_start_time_seconds",
         "gauge", ""},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(std::string(c.counter) + " of type " + std::to_string(c.type));
        scripted::reset();
        scripted::addObject("Odd", {c.counter}, {"x"});
        scripted::setCounterType("Odd", c.counter, c.type);
        std::string path = std::string("\\Odd(x)\\") + c.counter;
        scripted::setRawValues(path, {scripted::raw(c.s0.first, c.s0.second),
                                      scripted::raw(c.s1.first, c.s1.second)});
        std::vector<std::string> set = {"-s", "{Odd", "-i", "*", "-c", std::string(c.counter) + "}"};
        std::vector<std::string> once = set;
        once.insert(once.end(), {"--count", "1"});
        std::vector<std::string> twice = set;
        twice.insert(twice.end(), {"--count", "2"});
        Exposition first = run(once);
        Exposition second = run(twice);

        std::string series = std::string(c.family) + "{name=\"x\"}";
        ASSERT_EQ(second.samples.count(series), 1u) << series;
        EXPECT_EQ(second.types[c.family], c.kind);
        double v0 = first.samples[series];
        double v1 = second.samples[series];
        double seconds = static_cast<double>(t2 - t1) / F; // between the two scrapes
        double formatted = pdhFormula(c.type, c.s0, c.s1);
        double got = 0;
        switch (c.relation) {
        case GAUGE:
            got = v1 * (c.type == PERF_COUNTER_LARGE_RAWCOUNT ? 1.0 / 1024 : 1.0);
            break;
        case RATE:
            got = (v1 - v0) / seconds;
            break;
        case RATE_PERCENT:
            got = 100.0 * (v1 - v0) / seconds;
            break;
        case RATE_RATIO: {
            std::string denominator = std::string(c.second) + "{name=\"x\"}";
            ASSERT_EQ(second.samples.count(denominator), 1u) << denominator;
            EXPECT_EQ(second.types[c.second], "counter");
            got = ((v1 - v0) / seconds) /
                  ((second.samples[denominator] - first.samples[denominator]) / seconds);
            break;
        }
        case GAUGE_PERCENT:
            got = 100.0 * v1;
            break;
        case START_TIME:
            got = static_cast<double>(t2) / F - v1;
            break;
        }
        EXPECT_NEAR(got, formatted, 1e-9 * std::fabs(formatted) + 1e-9)
            << "v0 " << v0 << ", v1 " << v1;
    }
}

TEST(PrometheusReport, AnUnknownTypeIsNamedInACommentAndLeftOut)
{
    scripted::reset();
    scripted::addObject("Odd", {"Known", "Strange/sec"}, {"x"});
    scripted::setCounterType("Odd", "Strange/sec", PERF_COUNTER_DELTA);
    scripted::setRawValues("\\Odd(x)\\Known", {scripted::raw(7)});
    scripted::setRawValues("\\Odd(x)\\Strange/sec", {scripted::raw(9)});
    Exposition exposition = run({"-s", "{Odd", "-i", "*", "-c", "*}"});
    EXPECT_EQ(exposition.samples, (std::map<std::string, double>{{"mirekast_odd_known{name=\"x\"}", 7}}));
    EXPECT_EQ(exposition.comments,
              (std::vector<std::string>{"# mirekast: not exported, counter type unknown to this "
                                        "program: Odd : Strange/sec (0x00400400)"}));
}

// A machine of processes and threads with pids and tids, a total row, a
// CPU node's total and an interface of no pid with a name given twice.
void scriptIdentities(const std::vector<std::string>& processes,
                      const std::vector<LONGLONG>& pids)
{
    scripted::reset();
    std::vector<std::string> withTotal = processes;
    withTotal.push_back("_Total");
    scripted::addObject("Process", {"% Processor Time", "ID Process"}, withTotal);
    scripted::setCounterType("Process", "% Processor Time", PERF_100NSEC_TIMER);
    std::map<std::string, int> seen;
    for (size_t i = 0; i < processes.size(); i++) {
        std::string path = "\\Process(" + processes[i] + "#" +
                           std::to_string(seen[processes[i]]++) + ")\\";
        scripted::setRawValues(path + "ID Process", {scripted::raw(pids[i])});
        scripted::setRawValues(path + "% Processor Time",
                               {scripted::raw(pids[i] * 10000000, at(1))});
    }
    scripted::setRawValues("\\Process(_Total)\\% Processor Time", {scripted::raw(5, at(1))});
    scripted::addObject("Thread", {"ID Process", "ID Thread", "Context Switches/sec"},
                        {"sh/0", "sh/0"});
    scripted::setCounterType("Thread", "Context Switches/sec", PERF_COUNTER_BULK_COUNT);
    scripted::setRawValues("\\Thread(sh/0#0)\\ID Process", {scripted::raw(100)});
    scripted::setRawValues("\\Thread(sh/0#0)\\ID Thread", {scripted::raw(100)});
    scripted::setRawValues("\\Thread(sh/0#1)\\ID Process", {scripted::raw(200)});
    scripted::setRawValues("\\Thread(sh/0#1)\\ID Thread", {scripted::raw(201)});
    scripted::setRawValues("\\Thread(sh/0#0)\\Context Switches/sec", {scripted::raw(3, at(1))});
    scripted::setRawValues("\\Thread(sh/0#1)\\Context Switches/sec", {scripted::raw(4, at(1))});
    scripted::addObject("Processor Information", {"Interrupts/sec"}, {"0,0", "0,_Total", "_Total"});
    scripted::setCounterType("Processor Information", "Interrupts/sec", PERF_COUNTER_BULK_COUNT);
    scripted::setRawValues("\\Processor Information(0,0)\\Interrupts/sec",
                           {scripted::raw(8, at(1))});
    scripted::addObject("Network Interface", {"Packets Received Errors"}, {"eth", "eth"});
    scripted::setRawValues("\\Network Interface(eth#0)\\Packets Received Errors", {scripted::raw(1)});
    scripted::setRawValues("\\Network Interface(eth#1)\\Packets Received Errors", {scripted::raw(2)});
}

TEST(PrometheusReport, SeriesBelongToOneInstanceForItsLife)
{
    scriptIdentities({"sh", "sh"}, {100, 200});
    Exposition before = run({"-a"});
    EXPECT_EQ(before.samples,
              (std::map<std::string, double>{
                  {"mirekast_network_interface_packets_received_errors_total{name=\"eth\"}", 1},
                  {"mirekast_network_interface_packets_received_errors_total{name=\"eth\",index=\"1\"}",
                   2},
                  {"mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"100\"}", 100},
                  {"mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"200\"}", 200},
                  {"mirekast_processor_information_interrupts_total{name=\"0,0\"}", 8},
                  {"mirekast_thread_context_switches_total{name=\"sh/0\",pid=\"100\",tid=\"100\"}", 3},
                  {"mirekast_thread_context_switches_total{name=\"sh/0\",pid=\"200\",tid=\"201\"}", 4},
              }));
    EXPECT_EQ(before.types["mirekast_network_interface_packets_received_errors_total"], "counter");

    // Process 100 ends, and a new "sh" takes its #0: a series of its own.
    scriptIdentities({"sh", "sh"}, {200, 105});
    Exposition after = run({"-s", "{Process", "-i", "*", "-c", "*}"});
    EXPECT_EQ(after.samples,
              (std::map<std::string, double>{
                  {"mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"105\"}", 105},
                  {"mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"200\"}", 200},
              }));
    for (const auto& [series, value] : before.samples) {
        EXPECT_EQ(series.find("instance="), std::string::npos) << series;
        EXPECT_EQ(series.find("job="), std::string::npos) << series;
        EXPECT_EQ(series.find("_Total"), std::string::npos) << series;
    }
}

TEST(PrometheusReport, AnInstanceWhoseIdsCannotBeReadIsLeftOut)
{
    scriptIdentities({"sh", "sh"}, {100, 200});
    scripted::setRawValues("\\Process(sh#1)\\ID Process", {scripted::rawFailure()});
    Exposition exposition = run({"-s", "{Process", "-i", "*", "-c", "*}"});
    EXPECT_EQ(exposition.samples,
              (std::map<std::string, double>{
                  {"mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"100\"}", 100},
              }));
}

TEST(PrometheusReport, ManyInstancesOfOneNameEachGetTheirSeries)
{
    std::vector<std::string> names(300, "worker");
    std::vector<LONGLONG> pids;
    for (int i = 0; i < 300; i++) {
        pids.push_back(1000 + i);
    }
    scriptIdentities(names, pids);
    Exposition exposition = run({"-s", "{Process", "-i", "*", "-c", "*}"});
    ASSERT_EQ(exposition.samples.size(), 300u);
    for (LONGLONG pid : pids) {
        std::string series =
            "mirekast_process_cpu_seconds_total{name=\"worker\",pid=\"" + std::to_string(pid) + "\"}";
        EXPECT_EQ(exposition.samples[series], static_cast<double>(pid)) << series;
    }
}

} // namespace

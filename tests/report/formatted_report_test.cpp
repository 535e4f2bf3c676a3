// The forms that other programs read (--format csv, json, prometheus), whole
// program against a scripted machine: values beyond 32 bits and with
// fractions, failed fetches, duplicate instance names, names that each form
// must quote or escape, and an object without instances.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/machine_text.h"
#include "report/prometheus_report.h"
#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

// A comma, a quote, a backslash, a byte that is no UTF-8 (0xe9 alone) and an
// e-acute that is (0xc3 0xa9).
const char ODD_NAME[] = "a,b \"q\" \\ \xe9t\xc3\xa9";

// Memory has no instances; Process has two "sh" and the odd name; rates and
// percentages need two collections; one counter never fetches.
void scriptMachine()
{
    scripted::reset();
    scripted::Object& memory =
        scripted::addObject("Memory", {"Available Bytes", "Cache Bytes", "Pages/sec"});
    memory.twoSampleCounters = {"Pages/sec"};
    scripted::Object& process = scripted::addObject(
        "Process", {"% Processor Time", "ID Process"}, {"idle", "sh", ODD_NAME, "sh"});
    process.twoSampleCounters = {"% Processor Time"};
    scripted::addObject("PhysicalDisk", {"Avg. Disk Queue Length"}, {"_Total"});
    scripted::addObject("System", {"System Up Time"});

    scripted::setValues("\\Memory\\Available Bytes",
                        {scripted::fullValue(25769803776.0), scripted::fullValue(25769803264.0)});
    scripted::setValues("\\Memory\\Cache Bytes", {scripted::failure()});
    scripted::setValues("\\Memory\\Pages/sec", {scripted::failure(), scripted::fullValue(12.5)});
    scripted::setValues("\\Process(idle#0)\\ID Process", {scripted::value(0)});
    scripted::setValues("\\Process(sh#0)\\ID Process", {scripted::value(100)});
    scripted::setValues("\\Process(sh#1)\\ID Process", {scripted::value(200)});
    scripted::setValues(std::string("\\Process(") + ODD_NAME + ")\\ID Process",
                        {scripted::value(300)});
    scripted::setValues("\\Process(idle#0)\\% Processor Time",
                        {scripted::failure(), scripted::fullValue(99.25)});
    scripted::setValues("\\Process(sh#0)\\% Processor Time",
                        {scripted::failure(), scripted::fullValue(0.5)});
    scripted::setValues("\\Process(sh#1)\\% Processor Time",
                        {scripted::failure(), scripted::fullValue(100)});
    scripted::setValues(std::string("\\Process(") + ODD_NAME + ")\\% Processor Time",
                        {scripted::failure(), scripted::failure()});
    scripted::setValues("\\PhysicalDisk(_Total)\\Avg. Disk Queue Length",
                        {scripted::fullValue(0.015625)});
    scripted::setValues("\\System\\System Up Time", {scripted::fullValue(4294967296.125)});

    // What the Prometheus form reads: types and raw samples, times in 100 ns
    // units.  The odd name's raw sample holds where its formatted value fails.
    scripted::setCounterType("Process", "% Processor Time", PERF_100NSEC_TIMER);
    scripted::setRawValues("\\Process(idle#0)\\% Processor Time",
                           {scripted::rawFailure(), scripted::raw(993000000, 1000000000)});
    scripted::setRawValues("\\Process(sh#0)\\% Processor Time",
                           {scripted::rawFailure(), scripted::raw(5000000, 1000000000)});
    scripted::setRawValues("\\Process(sh#1)\\% Processor Time",
                           {scripted::rawFailure(), scripted::raw(1000000000, 1000000000)});
    scripted::setRawValues(std::string("\\Process(") + ODD_NAME + ")\\% Processor Time",
                           {scripted::rawFailure(), scripted::raw(2000000, 1000000000)});
    scripted::setCounterType("PhysicalDisk", "Avg. Disk Queue Length",
                             PERF_COUNTER_100NS_QUEUELEN_TYPE);
    scripted::setRawValues("\\Memory\\Pages/sec",
                           {scripted::rawFailure(), scripted::raw(1250, scripted::collectionTime(2))});
    scripted::setCounterType("System", "System Up Time", PERF_ELAPSED_TIME);
    scripted::setRawValues("\\System\\System Up Time",
                           {scripted::raw(scripted::collectionTime(2) - 1000LL * scripted::TIME_BASE,
                                          scripted::collectionTime(2))});
}

ChildResult run(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {"mirekast"};
    full.insert(full.end(), args.begin(), args.end());
    return runProgram(full);
}

// An expected text of tests/data/formats, byte for byte.
std::string expected(const std::string& name)
{
    std::ifstream file(std::string(MIREKAST_TEST_DATA_DIR) + "/formats/" + name,
                       std::ios::binary);
    EXPECT_TRUE(file.good()) << name;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void expectOutput(const std::vector<std::string>& args, const std::string& text)
{
    SCOPED_TRACE(testing::PrintToString(args));
    ChildResult result = run(args);
    EXPECT_EQ(result.out, text);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

class FormattedReport : public testing::Test {
protected:
    void SetUp() override { scriptMachine(); }
};

TEST_F(FormattedReport, EachFormOfTwoPassesOfEveryObject)
{
    expectOutput({"-a", "--count", "2", "--format", "csv"}, expected("all_objects.csv"));
    expectOutput({"-a", "--count", "2", "--format", "json"}, expected("all_objects.jsonl"));
    // Only the last pass: the first gave the rates their earlier collection.
    expectOutput({"-a", "--count", "2", "--format", "prometheus"}, expected("all_objects.prom"));
}

TEST_F(FormattedReport, ListAndDecimalOptionsHaveNoEffectOnTheForms)
{
    expectOutput({"-ll", "-d", "-a", "--count", "2", "--format", "csv", "-sw", "30"},
                 expected("all_objects.csv"));
    expectOutput({"-a", "-l", "--count=2", "--format=json"}, expected("all_objects.jsonl"));
}

TEST_F(FormattedReport, ColumnsStayFixedWhenAnInstanceGoesAway)
{
    scripted::beforeCall(scripted::COLLECT_QUERY_DATA, 2, [] {
        scripted::findObject("Process")->instances = {"sh", "sh"};
    });
    ChildResult result = run({"-s", "{Process", "-i", "idle", "sh", "-c", "ID Process}",
                              "--count", "2", "--format", "csv"});
    EXPECT_EQ(result.out,
              "\"(PDH-CSV 4.0) (UTC)(0)\",\"\\\\TESTHOST\\Process(idle)\\ID Process\","
              "\"\\\\TESTHOST\\Process(sh#1)\\ID Process\",\"\\\\TESTHOST\\Process(sh)\\ID Process\"\n"
              "\"01/02/2026 03:04:05.678\",\"0\",\"200\",\"100\"\n"
              "\"01/02/2026 03:04:06.678\",\" \",\"200\",\"100\"\n");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(FormattedReport, LocalTimeAndZoneInCsvUtcInJson)
{
    // 2024-02-29T23:30:00.250Z, one hour east of UTC: already March locally.
    scripted::setWallClock(WallTime{1709249400250LL, -60, "CET"}, 86400000);
    std::vector<std::string> memory = {"-s", "{Memory", "-i", "*", "-c", "Available Bytes}",
                                       "--count", "2"};
    std::vector<std::string> csv = memory;
    csv.insert(csv.end(), {"--format", "csv"});
    expectOutput(csv, "\"(PDH-CSV 4.0) (CET)(-60)\",\"\\\\TESTHOST\\Memory\\Available Bytes\"\n"
                      "\"03/01/2024 00:30:00.250\",\"25769803776\"\n"
                      "\"03/02/2024 00:30:00.250\",\"25769803264\"\n");
    scripted::setWallClock(WallTime{1709249400250LL, -60, "CET"}, 86400000);
    scripted::setMachineName("h\"1");
    std::vector<std::string> json = memory;
    json.insert(json.end(), {"--format", "json"});
    expectOutput(json, "{\"time\":\"2024-02-29T23:30:00.250Z\",\"host\":\"h\\\"1\",\"samples\":"
                       "[{\"object\":\"Memory\",\"instance\":null,\"index\":null,"
                       "\"counter\":\"Available Bytes\",\"value\":25769803776}]}\n"
                       "{\"time\":\"2024-03-01T23:30:00.250Z\",\"host\":\"h\\\"1\",\"samples\":"
                       "[{\"object\":\"Memory\",\"instance\":null,\"index\":null,"
                       "\"counter\":\"Available Bytes\",\"value\":25769803264}]}\n");
}

TEST_F(FormattedReport, CsvHeaderShowsControlBytesOfTheHostNameAsQuestionMarks)
{
    // An escape that retitles the terminal, a bell, a line break and DEL,
    // beside a quote that the field doubles.
    scripted::setMachineName("h\x1b]0;x\x07\n\"q\x7f");
    expectOutput({"-s", "{Memory", "-i", "*", "-c", "Available Bytes}", "--format", "csv"},
                 "\"(PDH-CSV 4.0) (UTC)(0)\",\"\\\\h?]0;x??\"\"q?\\Memory\\Available Bytes\"\n"
                 "\"01/02/2026 03:04:05.678\",\"25769803776\"\n");
}

TEST_F(FormattedReport, JsonEscapesControlBytes)
{
    scripted::addObject("Odd", {"tab\there"}, {"line\nbreak\x01"});
    expectOutput({"-s", "{Odd", "-i", "*", "-c", "*}", "--format", "json"},
                 "{\"time\":\"2026-01-02T03:04:05.678Z\",\"host\":\"TESTHOST\",\"samples\":"
                 "[{\"object\":\"Odd\",\"instance\":\"line\\nbreak\\u0001\",\"index\":0,"
                 "\"counter\":\"tab\\there\",\"value\":0}]}\n");
}

TEST_F(FormattedReport, JsonGivesEachSampleOnceWhenSetsOverlap)
{
    // Both sets select Memory's one counter; the line keys it once.
    expectOutput({"-s", "{Memory", "-i", "*", "-c", "Available Bytes}", "-s", "{Memory", "-i", "*",
                  "-c", "*}", "--format", "json"},
                 "{\"time\":\"2026-01-02T03:04:05.678Z\",\"host\":\"TESTHOST\",\"samples\":"
                 "[{\"object\":\"Memory\",\"instance\":null,\"index\":null,"
                 "\"counter\":\"Available Bytes\",\"value\":25769803776},"
                 "{\"object\":\"Memory\",\"instance\":null,\"index\":null,"
                 "\"counter\":\"Cache Bytes\",\"value\":null},"
                 "{\"object\":\"Memory\",\"instance\":null,\"index\":null,"
                 "\"counter\":\"Pages/sec\",\"value\":null}]}\n");
}

TEST_F(FormattedReport, NamesThatPrintAlikeAreNumberedApart)
{
    // 0xfe and 0xff both print as U+FFFD, and two instances of one name keep
    // their enumeration order: "x\xff" #0 and #1 come after "x\xfe" #0.
    scripted::addObject("Odd", {"Count"}, {"x\xff", "x\xfe", "x\xff"});
    scripted::setValues("\\Odd(x\xff#0)\\Count", {scripted::value(1)});
    scripted::setValues("\\Odd(x\xfe#0)\\Count", {scripted::value(2)});
    scripted::setValues("\\Odd(x\xff#1)\\Count", {scripted::value(3)});
    const std::string sample = "{\"object\":\"Odd\",\"instance\":\"x\xEF\xBF\xBD\",\"index\":";
    expectOutput({"-s", "{Odd", "-i", "*", "-c", "*}", "--format", "json"},
                 "{\"time\":\"2026-01-02T03:04:05.678Z\",\"host\":\"TESTHOST\",\"samples\":[" +
                     sample + "0,\"counter\":\"Count\",\"value\":2}," + sample +
                     "2,\"counter\":\"Count\",\"value\":3}," + sample +
                     "1,\"counter\":\"Count\",\"value\":1}]}\n");
    // Without ids, the index tells the series apart; a control byte of a
    // counter's name shows as '?' in its help.
    scripted::addObject("Ctl", {"a\x02z"});
    expectOutput({"-s", "{Odd", "-i", "*", "-c", "*}", "-s", "{Ctl", "-i", "*", "-c", "*}",
                  "--format", "prometheus"},
                 "# HELP mirekast_ctl_a_z Ctl : a?z\n"
                 "# TYPE mirekast_ctl_a_z gauge\n"
                 "mirekast_ctl_a_z 0\n"
                 "# HELP mirekast_odd_count_value Odd : Count\n"
                 "# TYPE mirekast_odd_count_value gauge\n"
                 "mirekast_odd_count_value{name=\"x\xEF\xBF\xBD\"} 2\n"
                 "mirekast_odd_count_value{name=\"x\xEF\xBF\xBD\",index=\"1\"} 1\n"
                 "mirekast_odd_count_value{name=\"x\xEF\xBF\xBD\",index=\"2\"} 3\n");
}

TEST_F(FormattedReport, TwoInstancesNamedUnnamedAreInstances)
{
    // Only the pseudo-instance of an object without instances stands alone.
    scripted::addObject("Odd", {"Count"}, {"UNNAMED", "UNNAMED"});
    const std::string sample = "{\"object\":\"Odd\",\"instance\":\"UNNAMED\",\"index\":";
    expectOutput({"-s", "{Odd", "-i", "*", "-c", "*}", "--format", "json"},
                 "{\"time\":\"2026-01-02T03:04:05.678Z\",\"host\":\"TESTHOST\",\"samples\":[" +
                     sample + "1,\"counter\":\"Count\",\"value\":0}," + sample +
                     "0,\"counter\":\"Count\",\"value\":0}]}\n");
}

TEST(CompareShown, NamesCompareAsTheyPrint)
{
    auto sign = [](int order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); };
    // Plain names order as their bytes.
    EXPECT_EQ(compareShown("sh", "sh"), 0);
    EXPECT_EQ(sign(compareShown("sh", "sha")), -1);
    EXPECT_EQ(sign(compareShown("shb", "sha")), 1);
    EXPECT_EQ(sign(compareShown("caf\xc3\xa9", "cafe")), 1);
    // Bytes that are not UTF-8 print as U+FFFD (EF BF BD), control bytes as '?'.
    EXPECT_EQ(compareShown("a\xff", "a\xfe"), 0);
    EXPECT_EQ(compareShown("a\xff", "a\xef\xbf\xbd"), 0);
    EXPECT_EQ(compareShown("a\x01z", "a?z"), 0);
    EXPECT_EQ(compareShown("a\nz", "a\x7fz"), 0);
    EXPECT_EQ(sign(compareShown("a\xff", "a\xff" "b")), -1);
    EXPECT_EQ(sign(compareShown("a\xff", "a\xc3\xa9")), 1);  // EF.. after C3..
    EXPECT_EQ(sign(compareShown("a\x01", "a@")), -1);       // '?' before '@'
    EXPECT_FALSE(printsLossily("caf\xc3\xa9 (x)"));
    EXPECT_TRUE(printsLossily("caf\xe9"));
    EXPECT_TRUE(printsLossily("tab\there"));
}

TEST_F(FormattedReport, PrometheusGivesEachSeriesOnceWhenSetsOverlap)
{
    // The later set's object node comes first; the earlier set's "sh" series
    // are the same series (its instances get their pids from the other set)
    // and are not given again.
    const char* expected =
        "# HELP mirekast_process_cpu_seconds_total Process : % Processor Time\n"
        "# TYPE mirekast_process_cpu_seconds_total counter\n"
        "mirekast_process_cpu_seconds_total{name=\"a,b \\\"q\\\" \\\\ \xEF\xBF\xBDt\xC3\xA9\","
        "pid=\"300\"} 0.2\n"
        "mirekast_process_cpu_seconds_total{name=\"idle\",pid=\"0\"} 99.3\n"
        "mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"100\"} 0.5\n"
        "mirekast_process_cpu_seconds_total{name=\"sh\",pid=\"200\"} 100\n";
    expectOutput({"-s", "{Process", "-i", "sh", "-c", "% Processor Time}", "-s", "{Process", "-i",
                  "*", "-c", "% Processor Time", "ID Process}", "--count", "2", "--format",
                  "prometheus"},
                 expected);
    expectOutput({"-s", "{Process", "-i", "*", "-c", "% Processor Time", "ID Process}", "-s",
                  "{Process", "-i", "sh", "-c", "% Processor Time}", "--count", "2", "--format",
                  "prometheus"},
                 expected);
}

TEST_F(FormattedReport, PrometheusPrintsTheLastPassTakenWhenAKeyEndsTheRun)
{
    scripted::keyWaitingFromPoll(2);
    expectOutput({"-s", "{Memory", "-i", "*", "-c", "Available Bytes}", "-r", "--count", "5",
                  "--format", "prometheus"},
                 "# HELP mirekast_memory_available_bytes Memory : Available Bytes\n"
                 "# TYPE mirekast_memory_available_bytes gauge\n"
                 "mirekast_memory_available_bytes 25769803776\n");
    scripted::reset();
    scriptMachine();
    scripted::keyWaitingFromPoll(1);
    expectOutput({"-a", "--count", "2", "--format", "prometheus"}, "");
}

TEST_F(FormattedReport, JsonNameListing)
{
    expectOutput({"-a", "-L", "--format", "json"}, expected("names.json"));
    expectOutput({"-a", "-LO", "--format", "json"}, expected("object_names.json"));
    // The other forms leave the listing as it is.
    ChildResult plain = run({"-a", "-L"});
    expectOutput({"-a", "-L", "--format", "csv"}, plain.out);
    std::vector<std::string> set = {"-s", "{Memory", "-i", "*", "-c", "*}", "-LO"};
    plain = run(set);
    set.insert(set.end(), {"-r", "--format", "prometheus"});
    expectOutput(set, plain.out);
}

TEST_F(FormattedReport, PrometheusKeepsOneMetricPerQuantityInBaseUnits)
{
    scripted::addObject("LogicalDisk", {"Free Megabytes"}, {"sda1"});
    scripted::addObject("Mem", {"Available Bytes", "Available KBytes"});
    scripted::setValues("\\LogicalDisk(sda1)\\Free Megabytes", {scripted::fullValue(2)});
    scripted::setValues("\\Mem\\Available Bytes", {scripted::fullValue(3072)});
    scripted::setValues("\\Mem\\Available KBytes", {scripted::fullValue(3)});
    expectOutput({"-s", "{LogicalDisk", "-i", "*", "-c", "*}", "-s", "{Mem", "-i", "*", "-c",
                  "*}", "--format", "prometheus"},
                 "# HELP mirekast_logical_disk_free_bytes LogicalDisk : Free Megabytes\n"
                 "# TYPE mirekast_logical_disk_free_bytes gauge\n"
                 "mirekast_logical_disk_free_bytes{name=\"sda1\"} 2097152\n"
                 "# HELP mirekast_mem_available_bytes Mem : Available Bytes\n"
                 "# TYPE mirekast_mem_available_bytes gauge\n"
                 "mirekast_mem_available_bytes 3072\n");
}

} // namespace

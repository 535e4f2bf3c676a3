// UDPv4 and UDPv6: no instances; the "Udp:" lines of /proc/net/snmp and the
// "Udp6" lines of /proc/net/snmp6.
#include "platform/linux/net_stats.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_SNMP = 1 };

enum { RECEIVED, SENT, DATAGRAMS, NO_PORT, RECEIVED_ERRORS };

const CounterDef counters[] = {
    {"Datagrams Received/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Sent/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams No Port/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Errors", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
};

enum { IN_DATAGRAMS, OUT_DATAGRAMS, NO_PORTS, IN_ERRORS, NAMES };
const char* const udp4Names[NAMES] = {"InDatagrams", "OutDatagrams", "NoPorts", "InErrors"};
const char* const udp6Names[NAMES] = {"Udp6InDatagrams", "Udp6OutDatagrams", "Udp6NoPorts",
                                      "Udp6InErrors"};

void setUdp(InstanceSample& instance, const uint64_t* value, const bool* found)
{
    if (found[IN_DATAGRAMS]) {
        setValue(instance, RECEIVED, toSigned(value[IN_DATAGRAMS]));
    }
    if (found[OUT_DATAGRAMS]) {
        setValue(instance, SENT, toSigned(value[OUT_DATAGRAMS]));
    }
    if (found[IN_DATAGRAMS] && found[OUT_DATAGRAMS]) {
        setValue(instance, DATAGRAMS, toSigned(value[IN_DATAGRAMS]) + toSigned(value[OUT_DATAGRAMS]));
    }
    if (found[NO_PORTS]) {
        setValue(instance, NO_PORT, toSigned(value[NO_PORTS]));
    }
    if (found[IN_ERRORS]) {
        setValue(instance, RECEIVED_ERRORS, toSigned(value[IN_ERRORS]));
    }
}

void sampleUdp4(unsigned sources, ObjectSample& sample)
{
    sampleProtocol(udp4Object, (sources & SOURCE_SNMP) != 0, "Udp:", udp4Names, NAMES, setUdp,
                   sample);
}

void sampleUdp6(unsigned sources, ObjectSample& sample)
{
    sampleProtocol(udp6Object, (sources & SOURCE_SNMP) != 0, nullptr, udp6Names, NAMES, setUdp,
                   sample);
}

} // namespace

const PerfObject udp4Object = {
    "UDPv4", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,   false,    sampleUdp4,
};
const PerfObject udp6Object = {
    "UDPv6", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,   false,    sampleUdp6,
};

// IPv4 and IPv6: no instances; the "Ip:" lines of /proc/net/snmp and the
// "Ip6" lines of /proc/net/snmp6.
#include "platform/linux/net_stats.h"
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_SNMP = 1 };

enum {
    RECEIVED,
    SENT,
    DATAGRAMS,
    FORWARDED,
    DELIVERED,
    HEADER_ERRORS,
    ADDRESS_ERRORS,
    UNKNOWN_PROTOCOL,
    RECEIVED_DISCARDED,
    OUTBOUND_DISCARDED,
    OUTBOUND_NO_ROUTE,
    FRAGMENTS_RECEIVED,
    FRAGMENTS_REASSEMBLED,
    FRAGMENTS_CREATED,
    REASSEMBLY_FAILURES,
    FRAGMENTATION_FAILURES
};

const CounterDef counters[] = {
    {"Datagrams Received/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Sent/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Forwarded/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Delivered/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Header Errors", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Address Errors", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Unknown Protocol", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Received Discarded", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Outbound Discarded", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Datagrams Outbound No Route", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Fragments Received/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Fragments Re-assembled/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Fragments Created/sec", KIND_RATE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Fragment Re-assembly Failures", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
    {"Fragmentation Failures", KIND_VALUE, SOURCE_SNMP, 1.0, TOTAL_NONE},
};

// The source of each counter after Datagrams/sec, which adds the first two.
enum { IN_RECEIVES, OUT_REQUESTS, NAMES = 15 };
const char* const ip4Names[NAMES] = {
    "InReceives",  "OutRequests",  "ForwDatagrams", "InDelivers", "InHdrErrors",
    "InAddrErrors", "InUnknownProtos", "InDiscards", "OutDiscards", "OutNoRoutes",
    "ReasmReqds",  "ReasmOKs",     "FragCreates",   "ReasmFails", "FragFails"};
const char* const ip6Names[NAMES] = {
    "Ip6InReceives",  "Ip6OutRequests",  "Ip6OutForwDatagrams", "Ip6InDelivers",
    "Ip6InHdrErrors", "Ip6InAddrErrors", "Ip6InUnknownProtos",  "Ip6InDiscards",
    "Ip6OutDiscards", "Ip6OutNoRoutes",  "Ip6ReasmReqds",       "Ip6ReasmOKs",
    "Ip6FragCreates", "Ip6ReasmFails",   "Ip6FragFails"};

void setIp(InstanceSample& instance, const uint64_t* value, const bool* found)
{
    for (int i = 0; i < NAMES; ++i) {
        if (found[i]) {
            // The counters from FORWARDED on follow the names from the third on.
            setValue(instance, i < 2 ? i : i + 1, toSigned(value[i]));
        }
    }
    if (found[IN_RECEIVES] && found[OUT_REQUESTS]) {
        setValue(instance, DATAGRAMS, toSigned(value[IN_RECEIVES]) + toSigned(value[OUT_REQUESTS]));
    }
}

void sampleIp4(unsigned sources, ObjectSample& sample)
{
    sampleProtocol(ip4Object, (sources & SOURCE_SNMP) != 0, "Ip:", ip4Names, NAMES, setIp,
                   sample);
}

void sampleIp6(unsigned sources, ObjectSample& sample)
{
    sampleProtocol(ip6Object, (sources & SOURCE_SNMP) != 0, nullptr, ip6Names, NAMES, setIp,
                   sample);
}

} // namespace

const PerfObject ip4Object = {
    "IPv4", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,  false,    sampleIp4,
};
const PerfObject ip6Object = {
    "IPv6", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,  false,    sampleIp6,
};

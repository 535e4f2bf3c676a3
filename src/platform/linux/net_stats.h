// Reading the protocol statistics that TCPv4/v6, UDPv4/v6 and IPv4/v6 share:
// /proc/net/snmp (a line of names, then a line of numbers, per protocol) and
// /proc/net/snmp6 (one "name number" line each).
#ifndef MIREKAST_PLATFORM_LINUX_NET_STATS_H
#define MIREKAST_PLATFORM_LINUX_NET_STATS_H

#include <cstdint>

// For the protocol `prefix` ("Ip:", "Udp:") of /proc/net/snmp: values[i] of
// the column named names[i], found[i] when there is one.  False when the file
// cannot be read.
bool readSnmp(const char* prefix, const char* const* names, int count, uint64_t* values,
              bool* found);
// The same over /proc/net/snmp6, whose names carry their protocol
// ("Udp6InDatagrams").
bool readSnmp6(const char* const* names, int count, uint64_t* values, bool* found);

struct InstanceSample;
struct ObjectSample;
struct PerfObject;

// Samples an object without instances from one protocol's figures: those of
// `snmpPrefix` in /proc/net/snmp, or of /proc/net/snmp6 when it is null, read
// only when `wanted`; `set` turns them into the counters.
void sampleProtocol(const PerfObject& object, bool wanted, const char* snmpPrefix,
                    const char* const* names, int count,
                    void (*set)(InstanceSample& instance, const uint64_t* values,
                                const bool* found),
                    ObjectSample& sample);

#endif

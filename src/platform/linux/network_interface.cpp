// Network Interface: one instance per line of /proc/net/dev, in kernel order.
#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_SPEED = 1 };

enum {
    BYTES_RECEIVED,
    BYTES_SENT,
    BYTES_TOTAL,
    PACKETS_RECEIVED,
    PACKETS_SENT,
    PACKETS,
    RECEIVED_ERRORS,
    OUTBOUND_ERRORS,
    RECEIVED_DISCARDED,
    OUTBOUND_DISCARDED,
    BANDWIDTH
};

const CounterDef counters[] = {
    {"Bytes Received/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Bytes Sent/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Bytes Total/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Packets Received/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Packets Sent/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Packets/sec", KIND_RATE, 0, 1.0, TOTAL_NONE},
    {"Packets Received Errors", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Packets Outbound Errors", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Packets Received Discarded", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Packets Outbound Discarded", KIND_VALUE, 0, 1.0, TOTAL_NONE},
    {"Current Bandwidth", KIND_VALUE, SOURCE_SPEED, 1.0, TOTAL_NONE},
};

std::string speedText;

// /sys/class/net/[if]/speed in Mbit/s; interfaces without a link speed
// answer an error or -1.
void readBandwidth(const std::string& interface, InstanceSample& instance)
{
    std::string path = "class/net/" + interface + "/speed";
    if (readFileAt(sysDirectory(), path.c_str(), speedText) != READ_OK) {
        return;
    }
    const char* p = speedText.c_str();
    int64_t megabits;
    if (readSigned(p, megabits) && megabits > 0) {
        setValue(instance, BANDWIDTH, megabits * 1000000);
    }
}

void sampleInterfaces(unsigned sources, ObjectSample& sample)
{
    const std::string* text = procFile(PROC_NET_DEV);
    if (!text) {
        return;
    }
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        const char* begin = skipBlanks(line);
        const char* colon = begin;
        while (*colon != ':' && *colon != '\n' && *colon != '\0' && *colon != '|') {
            ++colon;
        }
        if (*colon != ':' || colon == begin) {
            continue;  // the two heading lines
        }
        const char* p = colon + 1;
        uint64_t field[16];
        int count = 0;
        while (count < 16 && readUnsigned(p, field[count])) {
            ++count;
        }
        if (count < 16) {
            continue;
        }
        std::string name(begin, colon);
        InstanceSample& interface =
            addInstance(sample, networkInterfaceObject,
                        instanceNameFromSystem(name.data(), name.size()), InstanceIdentity{0, 0});
        enum { RX_BYTES = 0, RX_PACKETS = 1, RX_ERRORS = 2, RX_DROP = 3,
               TX_BYTES = 8, TX_PACKETS = 9, TX_ERRORS = 10, TX_DROP = 11 };
        int64_t received = toSigned(field[RX_BYTES]);
        int64_t sent = toSigned(field[TX_BYTES]);
        int64_t packetsIn = toSigned(field[RX_PACKETS]);
        int64_t packetsOut = toSigned(field[TX_PACKETS]);
        setValue(interface, BYTES_RECEIVED, received);
        setValue(interface, BYTES_SENT, sent);
        setValue(interface, BYTES_TOTAL, received + sent);
        setValue(interface, PACKETS_RECEIVED, packetsIn);
        setValue(interface, PACKETS_SENT, packetsOut);
        setValue(interface, PACKETS, packetsIn + packetsOut);
        setValue(interface, RECEIVED_ERRORS, toSigned(field[RX_ERRORS]));
        setValue(interface, OUTBOUND_ERRORS, toSigned(field[TX_ERRORS]));
        setValue(interface, RECEIVED_DISCARDED, toSigned(field[RX_DROP]));
        setValue(interface, OUTBOUND_DISCARDED, toSigned(field[TX_DROP]));
        if (sources & SOURCE_SPEED) {
            readBandwidth(name, interface);
        }
    }
}

} // namespace

const PerfObject networkInterfaceObject = {
    "Network Interface", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,                false,    sampleInterfaces,
};

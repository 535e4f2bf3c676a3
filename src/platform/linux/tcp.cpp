// TCPv4 and TCPv6: no instances.  Connections Established counts the rows of
// /proc/net/tcp and tcp6 in state ESTABLISHED (01) or CLOSE_WAIT (08), as
// Windows counts both; a tcp6 row whose remote address is IPv4-mapped
// (::ffff:a.b.c.d) is an IPv4 connection.  Linux keeps one set of TCP
// statistics for both families, so the other TCP counters have no source.
#include <cstring>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { SOURCE_CONNECTIONS = 1 };

enum { ESTABLISHED };

const CounterDef counters[] = {
    {"Connections Established", KIND_VALUE, SOURCE_CONNECTIONS, 1.0, TOTAL_NONE},
};

struct Connections {
    int64_t ipv4;
    int64_t ipv6;
};

const char* skipField(const char* p)
{
    p = skipBlanks(p);
    while (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\0') {
        ++p;
    }
    return p;
}

// Rows: "sl local_address rem_address st ...", after one heading line.
void countRows(const std::string& text, bool isTcp6, Connections& connections)
{
    for (const char* line = nextLine(text.c_str()); *line != '\0'; line = nextLine(line)) {
        const char* remote = skipBlanks(skipField(skipField(line)));
        const char* state = skipBlanks(skipField(remote));
        bool open = (state[0] == '0' && (state[1] == '1' || state[1] == '8')) &&
                    (state[2] == ' ' || state[2] == '\t');
        if (!open) {
            continue;
        }
        // The address is printed as four 32-bit words in the host's order:
        // on a little-endian host ::ffff:0:0/96 reads 0000000000000000FFFF0000.
        bool mapped = isTcp6 && (strncmp(remote, "0000000000000000FFFF0000", 24) == 0 ||
                                 strncmp(remote, "00000000000000000000FFFF", 24) == 0);
        if (!isTcp6 || mapped) {
            ++connections.ipv4;
        } else {
            ++connections.ipv6;
        }
    }
}

void sampleTcp(const PerfObject& object, bool ipv4, unsigned sources, ObjectSample& sample)
{
    InstanceSample& instance = addInstance(sample, object, "", InstanceIdentity{0, 0});
    if (!(sources & SOURCE_CONNECTIONS)) {
        return;
    }
    Connections connections = {0, 0};
    const std::string* tcp6 = procFile(PROC_NET_TCP6);
    if (ipv4) {
        // Without IPv4 there is no count; without IPv6 there are no mapped rows.
        const std::string* tcp = procFile(PROC_NET_TCP);
        if (!tcp) {
            return;
        }
        countRows(*tcp, false, connections);
        if (tcp6) {
            countRows(*tcp6, true, connections);
        }
        setValue(instance, ESTABLISHED, connections.ipv4);
    } else if (tcp6) {
        countRows(*tcp6, true, connections);
        setValue(instance, ESTABLISHED, connections.ipv6);
    }
}

void sampleTcp4(unsigned sources, ObjectSample& sample)
{
    sampleTcp(tcp4Object, true, sources, sample);
}

void sampleTcp6(unsigned sources, ObjectSample& sample)
{
    sampleTcp(tcp6Object, false, sources, sample);
}

} // namespace

const PerfObject tcp4Object = {
    "TCPv4", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,   false,    sampleTcp4,
};
const PerfObject tcp6Object = {
    "TCPv6", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    false,   false,    sampleTcp6,
};

#include "platform/linux/net_stats.h"

#include <cstring>
#include <memory>
#include <vector>
#include <string>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

// The length of the word at `p` (up to a blank or the line's end).
size_t wordLength(const char* p)
{
    size_t length = 0;
    while (p[length] != ' ' && p[length] != '\t' && p[length] != '\n' && p[length] != '\0') {
        ++length;
    }
    return length;
}

} // namespace

bool readSnmp(const char* prefix, const char* const* names, int count, uint64_t* values,
              bool* found)
{
    for (int i = 0; i < count; ++i) {
        found[i] = false;
    }
    const std::string* text = procFile(PROC_NET_SNMP);
    if (!text) {
        return false;
    }
    size_t prefixLength = strlen(prefix);
    const char* header = nullptr;
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        if (strncmp(line, prefix, prefixLength) != 0) {
            continue;
        }
        if (!header) {
            header = line + prefixLength;
            continue;
        }
        // The numbers, column by column under the names.
        const char* name = skipBlanks(header);
        const char* p = line + prefixLength;
        while (*name != '\n' && *name != '\0') {
            size_t length = wordLength(name);
            int64_t number;  // a few columns (Ip's Forwarding, Tcp's MaxConn) may be -1
            if (!readSigned(p, number)) {
                break;
            }
            for (int i = 0; i < count; ++i) {
                if (strlen(names[i]) == length && strncmp(name, names[i], length) == 0) {
                    values[i] = number < 0 ? 0 : static_cast<uint64_t>(number);
                    found[i] = true;
                }
            }
            name = skipBlanks(name + length);
        }
        break;
    }
    return true;
}

bool readSnmp6(const char* const* names, int count, uint64_t* values, bool* found)
{
    for (int i = 0; i < count; ++i) {
        found[i] = false;
    }
    const std::string* text = procFile(PROC_NET_SNMP6);
    if (!text) {
        return false;
    }
    for (const char* line = text->c_str(); *line != '\0'; line = nextLine(line)) {
        size_t length = wordLength(line);
        for (int i = 0; i < count; ++i) {
            if (!found[i] && strlen(names[i]) == length && strncmp(line, names[i], length) == 0) {
                const char* p = line + length;
                found[i] = readUnsigned(p, values[i]);
            }
        }
    }
    return true;
}

void sampleProtocol(const PerfObject& object, bool wanted, const char* snmpPrefix,
                    const char* const* names, int count,
                    void (*set)(InstanceSample& instance, const uint64_t* values,
                                const bool* found),
                    ObjectSample& sample)
{
    InstanceSample& instance = addInstance(sample, object, "", InstanceIdentity{0, 0});
    std::vector<uint64_t> values(static_cast<size_t>(count));
    std::unique_ptr<bool[]> found(new bool[static_cast<size_t>(count)]);
    if (wanted && (snmpPrefix ? readSnmp(snmpPrefix, names, count, values.data(), found.get())
                              : readSnmp6(names, count, values.data(), found.get()))) {
        set(instance, values.data(), found.get());
    }
}

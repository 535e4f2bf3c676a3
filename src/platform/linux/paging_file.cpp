// Paging File: one instance per swap area of /proc/swaps, named by the last
// component of its path, then "_Total".
#include <cstring>

#include "platform/linux/perf_objects.h"
#include "platform/linux/procfs.h"

namespace {

enum { USAGE };

const CounterDef counters[] = {
    {"% Usage", KIND_FRACTION, 0, 1.0, TOTAL_SUM},
};

void samplePagingFiles(unsigned, ObjectSample& sample)
{
    const std::string* text = procFile(PROC_SWAPS);
    if (!text) {
        return;
    }
    // Filename Type Size Used Priority, after one heading line; blanks in the
    // file name are written as \040.
    for (const char* line = nextLine(text->c_str()); *line != '\0'; line = nextLine(line)) {
        const char* end = line;
        while (*end != ' ' && *end != '\t' && *end != '\n' && *end != '\0') {
            ++end;
        }
        if (end == line) {
            continue;
        }
        std::string path = decodeOctalEscapes(line, static_cast<size_t>(end - line));
        const char* p = skipBlanks(end);
        while (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\0') {
            ++p;  // the type
        }
        uint64_t size, used;
        if (!readUnsigned(p, size) || !readUnsigned(p, used)) {
            continue;
        }
        size_t slash = path.rfind('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        InstanceSample& file = addInstance(sample, pagingFileObject,
                                           instanceNameFromSystem(name.data(), name.size()),
                                           InstanceIdentity{0, 0});
        setValue(file, USAGE, toSigned(used), toSigned(size));
    }
    appendTotal(sample, pagingFileObject);
}

} // namespace

const PerfObject pagingFileObject = {
    "Paging File", counters, static_cast<int>(sizeof counters / sizeof counters[0]),
    true,          false,    samplePagingFiles,
};

#include "platform/linux/counter_path.h"

#include <cstring>

namespace {

bool isReservedInName(char c)
{
    return c == '(' || c == ')' || c == '#' || c == '\\';
}

// The instance text between the parentheses: a name, then "#N" or nothing.
// The name may hold '/': the Thread object's names do.
bool parseInstance(const char* begin, const char* end, CounterPath& path)
{
    const char* hash = static_cast<const char*>(memchr(begin, '#', static_cast<size_t>(end - begin)));
    const char* nameEnd = hash ? hash : end;
    if (nameEnd == begin) {
        return false;
    }
    for (const char* p = begin; p < nameEnd; ++p) {
        if (isReservedInName(*p)) {
            return false;
        }
    }
    long long index = 0;
    if (hash) {
        const char* digit = hash + 1;
        if (digit == end) {
            return false;
        }
        for (; digit < end; ++digit) {
            if (*digit < '0' || *digit > '9') {
                return false;
            }
            index = index * 10 + (*digit - '0');
            if (index > 2147483647) {
                return false;
            }
        }
    }
    path.hasInstance = true;
    path.instance.assign(begin, nameEnd);
    path.instanceIndex = static_cast<int>(index);
    return true;
}

} // namespace

PDH_STATUS parseCounterPath(const char* text, CounterPath& path)
{
    path.object.clear();
    path.hasInstance = false;
    path.instance.clear();
    path.instanceIndex = 0;
    path.counter.clear();
    if (!text || text[0] != '\\' || text[1] == '\\') {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
    }
    const char* objectBegin = text + 1;
    const char* p = objectBegin;
    while (*p != '\0' && *p != '\\' && *p != '(' && *p != ')' && *p != '#') {
        ++p;
    }
    if (p == objectBegin) {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
    }
    path.object.assign(objectBegin, p);
    if (*p == '(') {
        const char* instanceBegin = p + 1;
        const char* close = strchr(instanceBegin, ')');
        if (!close || !parseInstance(instanceBegin, close, path)) {
            return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
        }
        p = close + 1;
    }
    if (*p != '\\') {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
    }
    const char* counterBegin = p + 1;
    if (*counterBegin == '\0' || strchr(counterBegin, '\\')) {
        return static_cast<PDH_STATUS>(PDH_CSTATUS_BAD_COUNTERNAME);
    }
    path.counter.assign(counterBegin);
    return ERROR_SUCCESS;
}

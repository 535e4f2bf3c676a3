// Counter paths: "\Object\Counter", "\Object(Instance)\Counter" and
// "\Object(Instance#N)\Counter", where N counts the earlier instances of the
// same name in enumeration order ("Instance" alone is "Instance#0").
#ifndef MIREKAST_PLATFORM_LINUX_COUNTER_PATH_H
#define MIREKAST_PLATFORM_LINUX_COUNTER_PATH_H

#include <string>

#include "platform/pdh_api.h"

struct CounterPath {
    std::string object;
    bool hasInstance;
    std::string instance;
    int instanceIndex;
    std::string counter;
};

// Splits `text` into its parts: ERROR_SUCCESS, or PDH_CSTATUS_BAD_COUNTERNAME
// when it does not have one of the three forms (empty parts, a reserved
// character where a name belongs, an index that is not a decimal number that
// fits, anything after the counter's backslash but a name).
PDH_STATUS parseCounterPath(const char* text, CounterPath& path);

#endif

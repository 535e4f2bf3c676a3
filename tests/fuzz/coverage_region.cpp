#include "coverage_region.h"

extern "C" {
// The linker names the ends of the counters' section.
extern uint8_t __start___sancov_cntrs[] __attribute__((weak));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak));
}

uint8_t* coverageCounters()
{
    return coverageCounterCount() > 0 ? __start___sancov_cntrs : nullptr;
}

size_t coverageCounterCount()
{
    if (__start___sancov_cntrs == nullptr || __stop___sancov_cntrs <= __start___sancov_cntrs) {
        return 0;
    }
    return static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
}

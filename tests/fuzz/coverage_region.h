// Where the coverage counters of the instrumented code lie, for a forked
// child to hand back what it covered.  Built without coverage instrumentation
// of its own: the instrumentation declares the same section bounds in every
// module it instruments, and a second declaration beside it would displace
// them.
#ifndef MIREKAST_TESTS_FUZZ_COVERAGE_REGION_H
#define MIREKAST_TESTS_FUZZ_COVERAGE_REGION_H

#include <cstddef>
#include <cstdint>

// The inline 8-bit counters of every instrumented module, and how many; null
// and 0 when the build has none.
uint8_t* coverageCounters();
size_t coverageCounterCount();

#endif

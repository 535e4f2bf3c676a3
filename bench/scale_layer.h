// A scripted machine for the scale benchmark: the PDH and console functions
// of platform/pdh_api.h and platform/console.h, answered in constant time per
// call, so that what bench_scale measures is the program's own work and not
// the layer's.  (The tests' scripted layer records every call and checks each
// fetch against the whole instance list, which at 50,000 instances would cost
// far more than the program itself.)
#ifndef MIREKAST_BENCH_SCALE_LAYER_H
#define MIREKAST_BENCH_SCALE_LAYER_H

#include <string>
#include <vector>

namespace scale {

// The machine's one object, in enumeration order.  Replaces any earlier one.
void setObject(const std::string& name, const std::vector<std::string>& counters,
               const std::vector<std::string>& instances);

// Counters the program added and values it fetched since setObject.
long addedCounters();
long fetchedValues();

} // namespace scale

#endif

// The `#index` of every instance of an object at once: for each name, the
// number of equal names before it in the block.  Counting them by reading the
// block again from its start for every instance grew with the square of the
// instances; one sort of the names does it in O(n log n).
#ifndef MIREKAST_PDH_INSTANCE_INDEX_H
#define MIREKAST_PDH_INSTANCE_INDEX_H

#include <cstdint>

// Returns a new array holding, for the i-th name of the MULTI_SZ block
// `instances` (in block order, from 0), the number of names before it that
// equal it byte for byte; null when the block holds no name.  The caller
// releases the array with releaseMemory.  Ends the process through
// outOfMemory() when it cannot allocate.
int32_t* countEqualNamesBefore(const char* instances);

#endif

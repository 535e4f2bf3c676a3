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

// The same, and from the same sort: *count the names in the block, and in
// *listOrder a new array of their positions in the order that inserting each
// name in block order with insertSorted gives (byte order, of equal names the
// later first), so that an object's instance list is linked in order without
// a sort of its own.  Both arrays null when the block holds no name.
int32_t* indexInstances(const char* instances, uint32_t** listOrder, uint32_t* count);

#endif

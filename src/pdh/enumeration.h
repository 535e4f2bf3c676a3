// The names everything else works from: objects, and each object's counters
// and instances, as MULTI_SZ blocks in the order PDH delivers them.
#ifndef MIREKAST_PDH_ENUMERATION_H
#define MIREKAST_PDH_ENUMERATION_H

#include "platform/pdh_api.h"

// Stores in *objectSlot a new buffer holding the names of all objects (null
// when the list has no size).  Every failure ends the process.
void getObjectListing(char** objectSlot);

// For `objectName`, stores new buffers holding its counter and instance names
// in the two slots; the caller sets both sizes to 0 first and reads them after
// (an instance size of 2 or less means no instances).  Every failure ends the
// process.  The caller releases both buffers.
void getObjectItemListing(const char* objectName, char** counterSlot, char** instanceSlot,
                          DWORD* counterSize, DWORD* instanceSize);

// Prints the name listing of -L (objects, instances, counters) or of -LO
// (objects only) on standard output.
void printNameListing(const char* objectNames);

// Steps through a MULTI_SZ block in its order: firstName gives its first name,
// or null when the block is null or empty; nextName the name after `name`
// (a pointer into the same block), or null at the end.
const char* firstName(const char* block);
const char* nextName(const char* name);

#endif

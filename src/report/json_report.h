// The samples as JSON Lines, one object per pass, and the name listing as one
// JSON document.  Always valid JSON in UTF-8.
#ifndef MIREKAST_REPORT_JSON_REPORT_H
#define MIREKAST_REPORT_JSON_REPORT_H

#include "platform/stamps.h"
#include "tree/node_list.h"

// One line: {"time":..., "host":..., "samples":[{"object", "instance",
// "index", "counter", "value"}, ...]}; instance and index are null for an
// object without instances, value null for a failed fetch.
void printJsonPass(NodeList* dataTree, const WallTime& stamp);

// The listing of -LO (object names) or -L (with each object's instances and
// counters in PDH order) as {"host":..., "objects":[...]}.
void printJsonNameListing(const char* objectNames);

#endif

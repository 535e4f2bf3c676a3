// Fetching sampled values, and the diagnostic hook of every PDH call site.
#ifndef MIREKAST_PDH_SAMPLING_H
#define MIREKAST_PDH_SAMPLING_H

#include "platform/pdh_api.h"
#include "tree/node_list.h"

// visitTree callback over dataTree: stores the formatted value of every node
// that has a counter handle in its data, -1 when the fetch fails.
void gatherPerfData(NodeList* list, Node* node);

// Called with the status of every PDH call and a tag naming the call site.
// Prints nothing, changes nothing, never ends the process.
void pdhDebug(PDH_STATUS status, const char* tag);

#endif

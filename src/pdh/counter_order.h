// The name order of an object's counters, worked out once per object.  Every
// instance of an object lists the same counters in the same order, so sorting
// each instance's counter list again cost -a a sort per instance: a good share
// of registering tens of thousands of threads.
#ifndef MIREKAST_PDH_COUNTER_ORDER_H
#define MIREKAST_PDH_COUNTER_ORDER_H

#include <cstdint>

#include "tree/node_list.h"

struct CounterOrder {
    uint32_t count;   // names in the block
    uint32_t* place;  // place[i]: where the i-th name of the block stands in name order
    Node** placed;    // one instance's nodes by place, null where none was placed
};

// The order of the names of the MULTI_SZ block `counterNames`: ascending byte
// order, and of equal names the later one in the block first, which is the
// order insertSorted gives when the names are inserted in block order.  Ends
// the process through outOfMemory() when it cannot allocate.
CounterOrder* orderCounters(const char* counterNames);

// Keeps `node` as the node of the name at `position` of the block (from 0).
void placeCounter(CounterOrder* order, uint32_t position, Node* node);

// Appends the placed nodes to `list` in name order and forgets them, ready for
// the next instance.  On an empty list, the result is the list that
// insertSorted of each placed node, in block order, would have built.
void linkPlacedCounters(CounterOrder* order, NodeList* list);

void freeCounterOrder(CounterOrder* order);

#endif

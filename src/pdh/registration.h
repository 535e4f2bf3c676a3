// Adding counters to the query and recording them in the two trees.
#ifndef MIREKAST_PDH_REGISTRATION_H
#define MIREKAST_PDH_REGISTRATION_H

#include "platform/pdh_api.h"
#include "tree/node_list.h"

// Every counter of every instance of every object (-a).
void registerAllObjects(const char* objectNames, char** counterSlot, char** instanceSlot,
                        PDH_HQUERY query, NodeList* dataTree, NodeList* headerTree);

// One instance node under `instanceList` with a counter node for every counter
// of `counterNames` that PDH accepts; with `fillColumns` those counters become
// columns too.  The instance name "UNNAMED" gives paths without instance part.
// The instance node is staged (tree/staged_insertion.h): once every instance of
// the object is in, the caller puts `instanceList` in order with
// sortStagedNodes.
void addInstanceNodeandCounterList(NodeList* instanceList, NodeList* columnList,
                                   const char* objectName, const char* instanceName,
                                   const char* counterNames, PDH_HQUERY query,
                                   int32_t instanceIndex, bool fillColumns);

// Only what the sets name (-s).
void registerSets(NodeList* setList, const char* objectNames, char** counterSlot,
                  char** instanceSlot, PDH_HQUERY query, NodeList* dataTree,
                  NodeList* headerTree);

// For one instance of one object (hasInstances 0: the object has none and
// `instanceName` is not read), every counter the set's specs select, each
// added once; the set's object nodes and the instance node appear with the
// first counter PDH accepts.
void addSelectiveInstanceNodeandCounterList(NodeList** setInstanceList, NodeList** setColumnList,
                                            NodeList* dataTree, NodeList* headerTree,
                                            Node** setObject, Node* setNode,
                                            const char* objectName, const char* instanceName,
                                            const char* counterNames, int hasInstances,
                                            bool* instanceAdded, int32_t instanceIndex,
                                            PDH_HQUERY query);

// A set's object node pair, inserted by name into both trees, with its two
// child lists.
void addSetObjectNodes(Node** setObject, const char* objectName, NodeList** setInstanceList,
                       NodeList** setColumnList, NodeList* dataTree, NodeList* headerTree);

// An instance node under `setInstanceList`, with its counter list.  The node
// is staged: registerSets sorts the list once the set is done.
void addSetInstanceNode(NodeList* setInstanceList, const char* instanceName,
                        NodeList** counterList);

// The column (once per name) and the counter node holding `handle`.
void addSetCounterNode(NodeList* setColumnList, NodeList* counterList, const char* counterName,
                       PDH_HCOUNTER handle);

// Writes the counter path into `path` (room for `capacity` bytes, terminator
// included): "\\object(instance#index)\\counter", or "\\object\\counter" when
// `instanceName` is null.  Returns false, leaving nothing usable, when the path
// would not fit; such a counter is skipped like one PDH refuses.
bool buildCounterPath(char* path, int capacity, const char* objectName,
                      const char* instanceName, int32_t instanceIndex, const char* counterName);

const int COUNTER_PATH_SIZE = 512;

#endif

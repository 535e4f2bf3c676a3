// Named, doubly linked lists of nodes: the one container of the program.  A
// node may own one child list, so lists nest into trees of any depth.
// findByName and insertSorted walk from the head, which suits the short lists
// (objects, counters, columns); lists that may grow to tens of thousands of
// nodes (an object's instances) are filled through tree/staged_insertion.h.
#ifndef MIREKAST_TREE_NODE_LIST_H
#define MIREKAST_TREE_NODE_LIST_H

#include <cstdint>

#include "platform/pdh_api.h"

struct Node;

struct NodeList {
    char* name;      // private copy, kept with the list
    uint32_t count;  // number of nodes linked in
    Node* head;
    Node* tail;
    Node* ownerNode; // the node whose childList this is; null for a root
};

struct Node {
    char* name;          // private copy, kept with the node
    uint32_t data;       // in the data tree: the counter's last fetched value
    PDH_HCOUNTER counter;// not owned: its query closes it
    NodeList* parentList;// the list the creator meant it for; never changed
    NodeList* childList; // owned; null when the node has none
    Node* prev;
    Node* next;
};

typedef uint32_t SortKey;
const SortKey SORT_BY_NAME = 0;

typedef void (*NodeCallback)(NodeList* list, Node* node);
typedef void (*ChildListCallback)(NodeList* list);

// Creates an empty list named by a copy of `name`.  When `ownerNode` is given,
// the list becomes its childList (a child list it had before is no longer
// referenced from it).  Ends the process through outOfMemory() on failure.
NodeList* createList(const char* name, Node* ownerNode);

// Creates a node that belongs to no list yet, named by a copy of `name` kept
// with the node (never released apart from it).  Note the order:
// childList before parentList.  Ends through outOfMemory() on
// failure.
Node* createNode(const char* name, uint32_t data, PDH_HCOUNTER counter, NodeList* childList,
                 NodeList* parentList);

// Links `node` at the tail of `list`.  This function can't fail.
void appendNode(NodeList* list, Node* node);

// Links `node` into `list` in the order of `key` (SORT_BY_NAME: unsigned byte
// order, case-sensitive), in front of every node that compares equal, so that
// of equal names the latest inserted comes first.  `node->parentList` is not
// touched.  This function can't fail.
void insertSorted(NodeList* list, Node* node, SortKey key);

// Returns the first node from `startNode` on along `next` whose name equals
// `name` exactly, or null (also when `startNode` is null).
Node* findByName(Node* startNode, const char* name);

// Walks the tree below `list` depth first.  For each node, its `next` and
// `childList` are read before `nodeCallback(list, node)` runs, so the callback
// may release the node it is given; it must not release that node's child
// list, the following node or any other node of the list being walked.  When
// the node has a child list, `childListCallback` (if not null) runs on it
// before any of its nodes are visited, and the child list is visited before
// the next node of this list.
void visitTree(NodeList* list, NodeCallback nodeCallback, ChildListCallback childListCallback);

// Takes `node` out of `list` and releases it and its name.  Its child list is
// left alone: the caller releases it, or owns it from now on.  `node` must be
// in `list`.  This function can't fail.
void unlinkNode(NodeList* list, Node* node);

// Releases `list`, every node and list below it and every name, depth first.
// Counter handles are not closed: they belong to their query.
void destroyTree(NodeList* list);

#endif

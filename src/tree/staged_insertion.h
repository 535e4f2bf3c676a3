// Sorted insertion for many nodes at once.  insertSorted walks from the head
// for every node, so filling a list of n nodes with it costs n * n / 2
// comparisons; an object with tens of thousands of instances made that the
// bulk of a run.  Staging links each node in O(1) and one merge sort at the
// end puts the list in order in O(n log n), with exactly the result that
// insertSorted would have given node by node.
#ifndef MIREKAST_TREE_STAGED_INSERTION_H
#define MIREKAST_TREE_STAGED_INSERTION_H

#include "tree/node_list.h"

// Links `node` at the head of `list`, out of order, and counts it.  Until
// sortStagedNodes runs, the list is a valid list but not in name order, so
// nothing may look for a place in it (insertSorted) or rely on its order.
// `node->parentList` is not touched.  This function can't fail.
void stageNode(NodeList* list, Node* node);

// Puts `list` in SORT_BY_NAME order.  When the list was in the order that
// insertSorted gives before the first stageNode, the result is the list that
// insertSorted of every staged node, in staging order, would have built: of
// equal names the later staged first, and staged nodes in front of equal
// nodes that were there before.  Stable, allocates nothing, can't fail.
void sortStagedNodes(NodeList* list);

#endif

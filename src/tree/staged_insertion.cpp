#include "tree/staged_insertion.h"

#include <cstring>

void stageNode(NodeList* list, Node* node)
{
    node->prev = nullptr;
    node->next = list->head;
    if (list->head != nullptr) {
        list->head->prev = node;
    } else {
        list->tail = node;
    }
    list->head = node;
    list->count++;
}

// Merges two name-ordered chains linked by `next`; of equal names the node of
// `left` goes first, which is what keeps the sort stable.
static Node* mergeChains(Node* left, Node* right)
{
    Node head;
    Node* last = &head;
    while (left != nullptr && right != nullptr) {
        if (strcmp(left->name, right->name) <= 0) {
            last->next = left;
            left = left->next;
        } else {
            last->next = right;
            right = right->next;
        }
        last = last->next;
    }
    last->next = left != nullptr ? left : right;
    return head.next;
}

// Bottom-up merge sort: runs[i] holds a sorted chain of 2^i nodes (or none),
// like the digits of a binary counter, so no recursion and no allocation.
void sortStagedNodes(NodeList* list)
{
    Node* runs[64] = {};
    Node* node = list->head;
    while (node != nullptr) {
        Node* next = node->next;
        node->next = nullptr;
        Node* carry = node;
        int level = 0;
        // A later chain merges as the right-hand side: staging order stays.
        for (; runs[level] != nullptr; level++) {
            carry = mergeChains(runs[level], carry);
            runs[level] = nullptr;
        }
        runs[level] = carry;
        node = next;
    }
    Node* sorted = nullptr;
    for (Node* run : runs) {
        if (run != nullptr) {
            sorted = mergeChains(run, sorted);
        }
    }
    // Only `next` was kept during the merges; `prev` and the ends follow it.
    list->head = sorted;
    Node* previous = nullptr;
    for (Node* walk = sorted; walk != nullptr; walk = walk->next) {
        walk->prev = previous;
        previous = walk;
    }
    list->tail = previous;
}

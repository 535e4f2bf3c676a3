// A list as tests tell its nodes apart: name, and `data`, which a test sets to
// the order it added them in, so that equal names show which one stands first.
#ifndef MIREKAST_TESTS_SUPPORT_NODE_ENTRIES_H
#define MIREKAST_TESTS_SUPPORT_NODE_ENTRIES_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tree/node_list.h"

typedef std::vector<std::pair<std::string, uint32_t>> Entries;

// The list's entries from head to tail, after checking the links both ways,
// the ends and the count.
inline Entries checkedEntries(const NodeList* list)
{
    Entries forward;
    const Node* last = nullptr;
    for (const Node* node = list->head; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, last);
        forward.push_back({node->name, node->data});
        last = node;
    }
    EXPECT_EQ(list->tail, last);
    EXPECT_EQ(forward.size(), list->count);
    return forward;
}

#endif

#include "pdh/counter_order.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/node_entries.h"
#include "tree/node_list.h"

namespace {

std::string block(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += name;
        text += '\0';
    }
    text += '\0';
    return text;
}

// One instance's counters placed by the order, and the same counters put in
// one by one with insertSorted; `kept[i]` false leaves the i-th name out, as
// a counter that PDH refused.  `data` tells equal names apart.
void expectSameAsInsertSorted(CounterOrder* order, const std::vector<std::string>& names,
                              const std::vector<bool>& kept)
{
    NodeList* placed = createList("", nullptr);
    NodeList* inserted = createList("", nullptr);
    for (uint32_t i = 0; i < names.size(); i++) {
        if (!kept[i]) {
            continue;
        }
        placeCounter(order, i, createNode(names[i].c_str(), i, nullptr, nullptr, placed));
        insertSorted(inserted, createNode(names[i].c_str(), i, nullptr, nullptr, inserted),
                     SORT_BY_NAME);
    }
    linkPlacedCounters(order, placed);
    EXPECT_EQ(checkedEntries(placed), checkedEntries(inserted));
    destroyTree(placed);
    destroyTree(inserted);
}

TEST(CounterOrder, GivesTheOrderOfInsertSortedForEveryInstance)
{
    // Equal names, a name that is a prefix of another, bytes above 0x7f.
    std::vector<std::string> names = {"b", "a", "ab", "a", "\xe9", "b", "B", "a"};
    std::string text = block(names);
    CounterOrder* order = orderCounters(text.c_str());
    ASSERT_EQ(order->count, names.size());
    // Several instances in a row, some counters refused: nothing placed for
    // one instance leaks into the next.
    std::mt19937 random(7);
    std::bernoulli_distribution refused(0.3);
    for (int instance = 0; instance < 50; instance++) {
        std::vector<bool> kept;
        for (size_t i = 0; i < names.size(); i++) {
            kept.push_back(instance == 0 || !refused(random));
        }
        expectSameAsInsertSorted(order, names, kept);
    }
    freeCounterOrder(order);
}

TEST(CounterOrder, AnEmptyBlockOrdersNothing)
{
    std::string text = block({});
    CounterOrder* order = orderCounters(text.c_str());
    EXPECT_EQ(order->count, 0u);
    NodeList* list = createList("", nullptr);
    linkPlacedCounters(order, list);
    EXPECT_EQ(list->count, 0u);
    EXPECT_EQ(list->head, nullptr);
    destroyTree(list);
    freeCounterOrder(order);
}

} // namespace

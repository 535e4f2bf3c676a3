#include "tree/staged_insertion.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/node_entries.h"

namespace {

// The same names into two lists: `before` of them by insertSorted into both,
// the rest by insertSorted into the one and staged into the other, which is
// then sorted.  Both lists must come out alike.
void expectStagingMatchesInsertion(const std::vector<std::string>& names, size_t before)
{
    NodeList* inserted = createList("", nullptr);
    NodeList* staged = createList("", nullptr);
    for (size_t i = 0; i < names.size(); i++) {
        uint32_t order = static_cast<uint32_t>(i);
        insertSorted(inserted, createNode(names[i].c_str(), order, nullptr, nullptr, inserted),
                     SORT_BY_NAME);
        Node* node = createNode(names[i].c_str(), order, nullptr, nullptr, staged);
        if (i < before) {
            insertSorted(staged, node, SORT_BY_NAME);
        } else {
            stageNode(staged, node);
            EXPECT_EQ(node->parentList, staged);
        }
    }
    sortStagedNodes(staged);
    Entries expected = checkedEntries(inserted);
    EXPECT_EQ(checkedEntries(staged), expected);
    // Sorting a list that is already in order changes nothing.
    sortStagedNodes(staged);
    EXPECT_EQ(checkedEntries(staged), expected);
    destroyTree(inserted);
    destroyTree(staged);
}

TEST(StagedInsertion, SmallListsComeOutAsInsertSortedLeavesThem)
{
    expectStagingMatchesInsertion({}, 0);
    expectStagingMatchesInsertion({"Process"}, 0);
    expectStagingMatchesInsertion({"b", "a"}, 0);
    expectStagingMatchesInsertion({"a", "a", "a"}, 0);
    expectStagingMatchesInsertion({"Process", "Memory", "Processor"}, 0);
    // Staged nodes go in front of equal names that were inserted before.
    expectStagingMatchesInsertion({"sh", "vi", "sh", "sh", "vi"}, 2);
    // Unsigned byte order, case-sensitive, prefixes first.
    expectStagingMatchesInsertion({"alpha", "Zeta", "a\x80", "a", "a\x7f", "ab", "\xff"}, 0);
}

TEST(StagedInsertion, ThousandsOfRepeatedNamesComeOutAsInsertSortedLeavesThem)
{
    std::mt19937 random(15);
    std::uniform_int_distribution<int> pick(0, 300);
    for (size_t count : {2u, 63u, 64u, 65u, 1000u, 5000u}) {
        SCOPED_TRACE(count);
        std::vector<std::string> names;
        for (size_t i = 0; i < count; i++) {
            int n = pick(random);
            names.push_back(n % 3 == 0 ? "\xe9" + std::to_string(n / 7) : std::to_string(n));
        }
        expectStagingMatchesInsertion(names, 0);
        expectStagingMatchesInsertion(names, count / 3);
    }
}

TEST(StagedInsertion, StagingLinksAtTheHeadUntilTheSort)
{
    NodeList* list = createList("", nullptr);
    stageNode(list, createNode("b", 0, nullptr, nullptr, list));
    stageNode(list, createNode("c", 1, nullptr, nullptr, list));
    stageNode(list, createNode("a", 2, nullptr, nullptr, list));
    EXPECT_EQ(checkedEntries(list), (Entries{{"a", 2}, {"c", 1}, {"b", 0}}));
    sortStagedNodes(list);
    EXPECT_EQ(checkedEntries(list), (Entries{{"a", 2}, {"b", 0}, {"c", 1}}));
    destroyTree(list);
}

} // namespace

#include "tree/node_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> namesForward(const NodeList* list)
{
    std::vector<std::string> names;
    for (const Node* node = list->head; node != nullptr; node = node->next) {
        names.push_back(node->name);
    }
    return names;
}

std::vector<std::string> namesBackward(const NodeList* list)
{
    std::vector<std::string> names;
    for (const Node* node = list->tail; node != nullptr; node = node->prev) {
        names.insert(names.begin(), node->name);
    }
    return names;
}

// Checks the links both ways and the count, and returns the names in order.
std::vector<std::string> checkedNames(const NodeList* list)
{
    std::vector<std::string> forward = namesForward(list);
    EXPECT_EQ(forward, namesBackward(list));
    EXPECT_EQ(forward.size(), list->count);
    if (list->head != nullptr) {
        EXPECT_EQ(list->head->prev, nullptr);
        EXPECT_EQ(list->tail->next, nullptr);
    } else {
        EXPECT_EQ(list->tail, nullptr);
    }
    return forward;
}

Node* insertNamed(NodeList* list, const char* name, uint32_t data = 0)
{
    Node* node = createNode(name, data, nullptr, nullptr, list);
    insertSorted(list, node, SORT_BY_NAME);
    return node;
}

TEST(NodeList, CreatedListsAndNodesHoldPrivateCopies)
{
    char name[] = "Process";
    NodeList* list = createList(name, nullptr);
    Node* node = createNode(name, 7, nullptr, nullptr, list);
    name[0] = 'X';
    EXPECT_STREQ(list->name, "Process");
    EXPECT_STREQ(node->name, "Process");
    EXPECT_EQ(node->data, 7u);
    EXPECT_EQ(node->parentList, list);
    EXPECT_EQ(node->childList, nullptr);
    EXPECT_EQ(node->prev, nullptr);
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(list->count, 0u);
    appendNode(list, node);
    destroyTree(list);
}

TEST(NodeList, CreateListWithOwnerBecomesItsChildList)
{
    NodeList* root = createList("", nullptr);
    Node* owner = insertNamed(root, "owner");
    NodeList* first = createList("", owner);
    EXPECT_EQ(owner->childList, first);
    EXPECT_EQ(first->ownerNode, owner);
    NodeList* second = createList("", owner);
    EXPECT_EQ(owner->childList, second);
    destroyTree(first); // no longer referenced from the owner
    destroyTree(root);
}

TEST(NodeList, AppendKeepsCallOrder)
{
    NodeList* list = createList("", nullptr);
    for (const char* name : {"b", "a", "c", "a"}) {
        appendNode(list, createNode(name, 0, nullptr, nullptr, list));
    }
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"b", "a", "c", "a"}));
    destroyTree(list);
}

TEST(NodeList, InsertSortedOrdersByNameAndPutsNewEqualNamesFirst)
{
    NodeList* list = createList("", nullptr);
    Node* only = insertNamed(list, "Process", 1);
    EXPECT_EQ(list->head, only);
    EXPECT_EQ(list->tail, only);
    EXPECT_EQ(list->count, 1u);

    insertNamed(list, "Memory", 2);
    insertNamed(list, "Processor", 3);
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"Memory", "Process", "Processor"}));

    // A second "Process" goes directly in front of the first, in the middle;
    // equal names at the head and at the tail take the same rule.
    Node* second = insertNamed(list, "Process", 4);
    EXPECT_EQ(second->next, only);
    Node* headTwin = insertNamed(list, "Memory", 5);
    EXPECT_EQ(list->head, headTwin);
    insertNamed(list, "Zzz", 6);
    EXPECT_EQ(checkedNames(list),
              (std::vector<std::string>{"Memory", "Memory", "Process", "Process", "Processor", "Zzz"}));
    std::vector<uint32_t> data;
    for (Node* node = list->head; node != nullptr; node = node->next) {
        data.push_back(node->data);
    }
    EXPECT_EQ(data, (std::vector<uint32_t>{5, 2, 4, 1, 3, 6}));
    destroyTree(list);
}

TEST(NodeList, InsertSortedComparesUnsignedBytesCaseSensitively)
{
    NodeList* list = createList("", nullptr);
    insertNamed(list, "alpha");
    insertNamed(list, "Zeta");
    insertNamed(list, "a\x80");
    insertNamed(list, "a~");
    insertNamed(list, "");
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"", "Zeta", "alpha", "a~", "a\x80"}));
    destroyTree(list);
}

TEST(NodeList, FindByNameIsExactAndReturnsTheFirst)
{
    NodeList* list = createList("", nullptr);
    Node* older = insertNamed(list, "Process");
    Node* newer = insertNamed(list, "Process");
    insertNamed(list, "Thread");
    EXPECT_EQ(findByName(list->head, "Process"), newer);
    EXPECT_EQ(findByName(older, "Process"), older);
    EXPECT_EQ(findByName(list->head, "process"), nullptr);
    EXPECT_EQ(findByName(list->head, "Proc"), nullptr);
    EXPECT_EQ(findByName(nullptr, "Process"), nullptr);
    destroyTree(list);
}

TEST(NodeList, UnlinkAtHeadMiddleTailAndOnly)
{
    NodeList* list = createList("", nullptr);
    for (const char* name : {"a", "b", "c", "d"}) {
        insertNamed(list, name);
    }
    unlinkNode(list, findByName(list->head, "b"));
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"a", "c", "d"}));
    unlinkNode(list, list->head);
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"c", "d"}));
    unlinkNode(list, list->tail);
    EXPECT_EQ(checkedNames(list), (std::vector<std::string>{"c"}));
    unlinkNode(list, list->head);
    EXPECT_EQ(list->head, nullptr);
    EXPECT_EQ(list->tail, nullptr);
    EXPECT_EQ(list->count, 0u);
    destroyTree(list);
}

std::vector<std::string> visits;

void recordNode(NodeList*, Node* node)
{
    visits.push_back(node->name);
}

void recordList(NodeList* list)
{
    visits.push_back("list of " + std::string(list->ownerNode->name));
}

void releaseNode(NodeList* list, Node* node)
{
    visits.push_back(node->name);
    NodeList* childList = node->childList;
    unlinkNode(list, node);
    if (childList != nullptr) {
        // The walk still visits it: it read the child list before calling us.
        visits.push_back("kept");
    }
}

NodeList* threeLevelTree()
{
    NodeList* root = createList("", nullptr);
    for (const char* object : {"Process", "Memory"}) {
        Node* objectNode = insertNamed(root, object);
        NodeList* instances = createList("", objectNode);
        for (const char* instance : {"b", "a"}) {
            Node* instanceNode = insertNamed(instances, (std::string(object) + "/" + instance).c_str());
            NodeList* counters = createList("", instanceNode);
            insertNamed(counters, "c1");
        }
    }
    return root;
}

TEST(NodeList, VisitTreeIsDepthFirstWithChildListCallbackFirst)
{
    NodeList* empty = createList("", nullptr);
    visits.clear();
    visitTree(empty, recordNode, recordList);
    EXPECT_TRUE(visits.empty());
    destroyTree(empty);

    NodeList* root = threeLevelTree();
    visits.clear();
    visitTree(root, recordNode, recordList);
    EXPECT_EQ(visits, (std::vector<std::string>{
                          "Memory", "list of Memory", "Memory/a", "list of Memory/a", "c1",
                          "Memory/b", "list of Memory/b", "c1", "Process", "list of Process",
                          "Process/a", "list of Process/a", "c1", "Process/b",
                          "list of Process/b", "c1"}));
    visits.clear();
    visitTree(root, recordNode, nullptr);
    EXPECT_EQ(visits.size(), 10u);
    destroyTree(root);
}

TEST(NodeList, VisitTreeLetsTheCallbackReleaseTheNodeItIsGiven)
{
    NodeList* list = createList("", nullptr);
    for (const char* name : {"a", "b", "c"}) {
        insertNamed(list, name);
    }
    visits.clear();
    visitTree(list, releaseNode, nullptr);
    EXPECT_EQ(visits, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list->count, 0u);
    EXPECT_EQ(list->head, nullptr);
    destroyTree(list);
}

// Nodes share the blocks they are carved from: a node's name and fields must
// stay whole while its neighbours are released and others carved after them,
// across many blocks, with names of every length up to one bigger than a block.
TEST(NodeList, NodesStayWholeWhileOthersAreReleasedAndCarved)
{
    auto nameOf = [](int i) {
        return std::to_string(i) + std::string(static_cast<size_t>(i % 97), 'a' + i % 26);
    };
    for (int round = 0; round < 2; round++) {
        NodeList* list = createList("", nullptr);
        const int count = 5000;
        for (int i = 0; i < count; i++) {
            appendNode(list, createNode(nameOf(i).c_str(), static_cast<uint32_t>(i), nullptr,
                                        nullptr, list));
        }
        std::string huge(100000, 'h');
        appendNode(list, createNode(huge.c_str(), 1, nullptr, nullptr, list));
        // Every other node goes, then as many come after the rest.
        Node* node = list->head;
        while (node != nullptr) {
            Node* next = node->next;
            if (node->data % 2 == 0) {
                unlinkNode(list, node);
            }
            node = next;
        }
        for (int i = count; i < 2 * count; i++) {
            Node* added = createNode(nameOf(i).c_str(), static_cast<uint32_t>(i), nullptr,
                                     nullptr, list);
            appendNode(list, added);
            NodeList* child = createList(nameOf(i).c_str(), added);
            appendNode(child, createNode("child", 0, nullptr, nullptr, child));
        }
        ASSERT_EQ(list->count, static_cast<uint32_t>(count / 2 + 1 + count));
        int checked = 0;
        for (Node* kept = list->head; kept != nullptr; kept = kept->next) {
            if (kept->data == 1 && kept->name[0] == 'h') {
                EXPECT_EQ(kept->name, huge);
                continue;
            }
            int i = static_cast<int>(kept->data);
            ASSERT_EQ(kept->name, nameOf(i)) << i;
            ASSERT_EQ(kept->parentList, list);
            if (i >= count) {
                ASSERT_STREQ(kept->childList->name, nameOf(i).c_str());
                ASSERT_STREQ(kept->childList->head->name, "child");
                ASSERT_EQ(kept->childList->ownerNode, kept);
            } else {
                ASSERT_EQ(kept->childList, nullptr);
            }
            checked++;
        }
        EXPECT_EQ(checked, count / 2 + count);
        destroyTree(list); // the second round carves from what this one released
    }
}

#if defined(__SANITIZE_ADDRESS__)
// A released node's block lives on for its neighbours; AddressSanitizer must
// still see a use of the node itself after its release.
TEST(NodeListDeathTest, UseOfAReleasedNodeIsCaughtUnderAddressSanitizer)
{
    NodeList* list = createList("", nullptr);
    Node* kept = insertNamed(list, "kept");
    Node* released = insertNamed(list, "released");
    char* name = released->name;
    unlinkNode(list, released);
    EXPECT_DEATH({ volatile char c = name[0]; (void)c; }, "use-after-poison");
    EXPECT_STREQ(kept->name, "kept");
    destroyTree(list);
}
#endif

} // namespace

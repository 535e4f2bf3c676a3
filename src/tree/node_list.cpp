#include "tree/node_list.h"

#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"

NodeList* createList(const char* name, Node* ownerNode)
{
    // One block for the list and its name, as for nodes: every instance has
    // a counter list.
    size_t length = strlen(name);
    NodeList* list = static_cast<NodeList*>(allocateMemory(sizeof(NodeList) + length + 1));
    if (list == nullptr) {
        outOfMemory();
    }
    list->name = reinterpret_cast<char*>(list + 1);
    memcpy(list->name, name, length);
    list->count = 0;
    list->head = nullptr;
    list->tail = nullptr;
    list->ownerNode = ownerNode;
    if (ownerNode != nullptr) {
        ownerNode->childList = list;
    }
    return list;
}

Node* createNode(const char* name, uint32_t data, PDH_HCOUNTER counter, NodeList* childList,
                 NodeList* parentList)
{
    // One block for the node and its name: -a creates a node per counter of
    // every instance, and two allocations each showed in its profile.
    size_t length = strlen(name);
    Node* node = static_cast<Node*>(allocateMemory(sizeof(Node) + length + 1));
    if (node == nullptr) {
        outOfMemory();
    }
    node->name = reinterpret_cast<char*>(node + 1);
    memcpy(node->name, name, length);
    node->data = data;
    node->counter = counter;
    node->childList = childList;
    node->parentList = parentList;
    node->prev = nullptr;
    node->next = nullptr;
    return node;
}

void appendNode(NodeList* list, Node* node)
{
    if (list->head == nullptr) {
        list->head = node;
        node->prev = nullptr;
    } else {
        node->prev = list->tail;
        list->tail->next = node;
    }
    node->next = nullptr;
    list->tail = node;
    list->count++;
}

// Byte-wise comparison as unsigned values: strcmp does exactly that.
static bool comesBefore(const Node* current, const Node* added, SortKey key)
{
    (void)key; // SORT_BY_NAME is the only key
    return strcmp(current->name, added->name) < 0;
}

void insertSorted(NodeList* list, Node* node, SortKey key)
{
    if (list->head == nullptr) {
        list->head = node;
        list->tail = node;
        node->prev = nullptr;
        node->next = nullptr;
        list->count = 1;
        return;
    }
    Node* stop = list->head;
    while (stop != nullptr && comesBefore(stop, node, key)) {
        stop = stop->next;
    }
    if (stop == list->head) {
        node->prev = nullptr;
        node->next = stop;
        stop->prev = node;
        list->head = node;
    } else if (stop == nullptr) {
        node->prev = list->tail;
        node->next = nullptr;
        list->tail->next = node;
        list->tail = node;
    } else {
        node->prev = stop->prev;
        node->next = stop;
        stop->prev->next = node;
        stop->prev = node;
    }
    list->count++;
}

Node* findByName(Node* startNode, const char* name)
{
    for (Node* node = startNode; node != nullptr; node = node->next) {
        if (strcmp(node->name, name) == 0) {
            return node;
        }
    }
    return nullptr;
}

void visitTree(NodeList* list, NodeCallback nodeCallback, ChildListCallback childListCallback)
{
    Node* node = list->head;
    while (node != nullptr) {
        Node* next = node->next;
        NodeList* childList = node->childList;
        nodeCallback(list, node);
        if (childList != nullptr) {
            if (childListCallback != nullptr) {
                childListCallback(childList);
            }
            visitTree(childList, nodeCallback, childListCallback);
        }
        node = next;
    }
}

void unlinkNode(NodeList* list, Node* node)
{
    if (node == list->head) {
        if (node->next != nullptr) {
            node->next->prev = nullptr;
        } else {
            list->tail = nullptr;
        }
        list->head = node->next;
    } else {
        node->prev->next = node->next;
        if (node->next != nullptr) {
            node->next->prev = node->prev;
        } else {
            list->tail = node->prev;
        }
    }
    list->count--;
    releaseMemory(node); // its name too: one block
}

void destroyTree(NodeList* list)
{
    while (list->head != nullptr) {
        Node* node = list->head;
        NodeList* childList = node->childList;
        unlinkNode(list, node);
        if (childList != nullptr) {
            destroyTree(childList);
        }
    }
    releaseMemory(list); // its name too: one block
}

#include "pdh/registration.h"

#include <charconv>
#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/counter_order.h"
#include "pdh/enumeration.h"
#include "pdh/instance_index.h"
#include "pdh/sampling.h"
#include "tree/staged_insertion.h"

static const char NO_INSTANCE_NAME[] = "UNNAMED";
static const char SELECT_ALL[] = "*";

// Built piece by piece rather than with snprintf: -a builds one path per
// counter of every instance, and formatting them was a good part of its cost.
bool buildCounterPath(char* path, int capacity, const char* objectName,
                      const char* instanceName, int32_t instanceIndex, const char* counterName)
{
    char index[12];
    std::to_chars_result digits = std::to_chars(index, index + sizeof index - 1, instanceIndex);
    *digits.ptr = '\0';
    const char* withInstance[] = {"\\", objectName, "(", instanceName, "#", index, ")\\",
                                  counterName};
    const char* withoutInstance[] = {"\\", objectName, "\\", counterName};
    const char* const* parts = instanceName != nullptr ? withInstance : withoutInstance;
    size_t partCount = instanceName != nullptr ? sizeof withInstance / sizeof withInstance[0]
                                               : sizeof withoutInstance / sizeof withoutInstance[0];
    size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
    size_t length = 0;
    for (size_t i = 0; i < partCount; i++) {
        size_t partLength = strlen(parts[i]);
        if (partLength >= room - length) {
            return false;
        }
        memcpy(path + length, parts[i], partLength);
        length += partLength;
    }
    path[length] = '\0';
    return true;
}

// Whether a name typed in a set (the object name, an instance or counter
// spec) names `name`.  The parser keeps the backslashes typed, so that its
// texts and messages show the argument as given; here a backslash stands for
// the character after it, so that \{, \} and \\ name a brace and a
// backslash, and a leading \- a leading dash, which the parser would take for
// an option.  A backslash at the very end stands for itself.
static bool typedNameMatches(const char* typed, const char* name)
{
    for (; *typed != '\0'; typed++, name++) {
        if (*typed == '\\' && typed[1] != '\0') {
            typed++;
        }
        if (*typed != *name) {
            return false;
        }
    }
    return *name == '\0';
}

// "*" is tested on the text as typed: \* names a counter called "*".
static bool specSelects(const char* spec, const char* name)
{
    return strcmp(spec, SELECT_ALL) == 0 || typedNameMatches(spec, name);
}

static Node* registerInstance(NodeList* instanceList, NodeList* columnList,
                              const char* objectName, const char* instanceName,
                              const char* counterNames, CounterOrder* order, PDH_HQUERY query,
                              int32_t instanceIndex, bool fillColumns);

static void releaseItemLists(char** counterSlot, char** instanceSlot)
{
    releaseMemory(*counterSlot);
    releaseMemory(*instanceSlot);
    *counterSlot = nullptr;
    *instanceSlot = nullptr;
}

void registerAllObjects(const char* objectNames, char** counterSlot, char** instanceSlot,
                        PDH_HQUERY query, NodeList* dataTree, NodeList* headerTree)
{
    for (const char* objectName = firstName(objectNames); objectName != nullptr;
         objectName = nextName(objectName)) {
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        getObjectItemListing(objectName, counterSlot, instanceSlot, &counterSize, &instanceSize);

        Node* headerObject = createNode(objectName, 0, nullptr, nullptr, nullptr);
        insertSorted(headerTree, headerObject, SORT_BY_NAME);
        Node* dataObject = createNode(objectName, 0, nullptr, nullptr, nullptr);
        insertSorted(dataTree, dataObject, SORT_BY_NAME);
        NodeList* instanceList = createList("", dataObject);
        NodeList* columnList = createList("", headerObject);

        if (instanceSize <= 2) {
            addInstanceNodeandCounterList(instanceList, columnList, objectName, NO_INSTANCE_NAME,
                                          *counterSlot, query, 0, true);
            sortStagedNodes(instanceList);
        } else {
            // Registered in PDH's order, linked in the list's: the sort that
            // gives every #index gives that order too.
            uint32_t* listOrder = nullptr;
            uint32_t count = 0;
            int32_t* indices = indexInstances(*instanceSlot, &listOrder, &count);
            Node** nodes = static_cast<Node**>(allocateMemory(count * sizeof(Node*)));
            if (nodes == nullptr) {
                outOfMemory();
            }
            CounterOrder* order = orderCounters(*counterSlot);
            uint32_t position = 0;
            for (const char* instance = firstName(*instanceSlot); instance != nullptr;
                 instance = nextName(instance)) {
                nodes[position] = registerInstance(instanceList, columnList, objectName, instance,
                                                   *counterSlot, order, query,
                                                   indices[position], position == 0);
                position++;
            }
            for (uint32_t i = 0; i < count; i++) {
                appendNode(instanceList, nodes[listOrder[i]]);
            }
            freeCounterOrder(order);
            releaseMemory(nodes);
            releaseMemory(listOrder);
            releaseMemory(indices);
        }
        releaseItemLists(counterSlot, instanceSlot);
    }
}

// One instance's node, meant for `instanceList` but not linked in, and its
// counters, linked in the object's name order worked out beforehand.
static Node* registerInstance(NodeList* instanceList, NodeList* columnList,
                              const char* objectName, const char* instanceName,
                              const char* counterNames, CounterOrder* order, PDH_HQUERY query,
                              int32_t instanceIndex, bool fillColumns)
{
    Node* instanceNode = createNode(instanceName, 0, nullptr, nullptr, instanceList);
    NodeList* counterList = createList("", instanceNode);

    // Here a real instance named like the pseudo-instance gets the short path too.
    const char* pathInstance = strcmp(instanceName, NO_INSTANCE_NAME) == 0 ? nullptr : instanceName;
    // The paths of one instance differ only in the counter name after the
    // last backslash: the start is built once.
    char path[COUNTER_PATH_SIZE];
    bool prefixFits = buildCounterPath(path, COUNTER_PATH_SIZE, objectName, pathInstance,
                                       instanceIndex, "");
    size_t prefixLength = prefixFits ? strlen(path) : 0;
    uint32_t position = 0;
    for (const char* counterName = firstName(counterNames); counterName != nullptr;
         counterName = nextName(counterName), position++) {
        size_t nameLength = strlen(counterName);
        if (!prefixFits || nameLength >= COUNTER_PATH_SIZE - prefixLength) {
            continue;
        }
        memcpy(path + prefixLength, counterName, nameLength + 1);
        PDH_HCOUNTER handle = nullptr;
        PDH_STATUS status = PdhAddCounterA(query, path, 0, &handle);
        pdhDebug(status, "addInstanceNodeandCounterList");
        if (status != ERROR_SUCCESS) {
            continue;
        }
        if (fillColumns && findByName(columnList->head, counterName) == nullptr) {
            insertSorted(columnList, createNode(counterName, 0, nullptr, nullptr, columnList),
                         SORT_BY_NAME);
        }
        placeCounter(order, position, createNode(counterName, 0, handle, nullptr, counterList));
    }
    linkPlacedCounters(order, counterList);
    return instanceNode;
}

void addInstanceNodeandCounterList(NodeList* instanceList, NodeList* columnList,
                                   const char* objectName, const char* instanceName,
                                   const char* counterNames, PDH_HQUERY query,
                                   int32_t instanceIndex, bool fillColumns)
{
    CounterOrder* order = orderCounters(counterNames);
    stageNode(instanceList, registerInstance(instanceList, columnList, objectName, instanceName,
                                             counterNames, order, query, instanceIndex,
                                             fillColumns));
    freeCounterOrder(order);
}

void registerSets(NodeList* setList, const char* objectNames, char** counterSlot,
                  char** instanceSlot, PDH_HQUERY query, NodeList* dataTree,
                  NodeList* headerTree)
{
    for (Node* setNode = setList->head; setNode != nullptr; setNode = setNode->next) {
        Node* setObject = nullptr;
        NodeList* setInstanceList = nullptr;
        NodeList* setColumnList = nullptr;
        for (const char* objectName = firstName(objectNames); objectName != nullptr;
             objectName = nextName(objectName)) {
            if (!typedNameMatches(setNode->name, objectName)) {
                continue;
            }
            DWORD counterSize = 0;
            DWORD instanceSize = 0;
            getObjectItemListing(objectName, counterSlot, instanceSlot, &counterSize,
                                 &instanceSize);
            bool instanceAdded = false;
            if (instanceSize <= 2) {
                addSelectiveInstanceNodeandCounterList(
                    &setInstanceList, &setColumnList, dataTree, headerTree, &setObject, setNode,
                    objectName, nullptr, *counterSlot, 0, &instanceAdded, 0, query);
            } else {
                int32_t* indices = countEqualNamesBefore(*instanceSlot);
                uint32_t position = 0;
                for (const char* instance = firstName(*instanceSlot); instance != nullptr;
                     instance = nextName(instance)) {
                    instanceAdded = false;
                    addSelectiveInstanceNodeandCounterList(
                        &setInstanceList, &setColumnList, dataTree, headerTree, &setObject,
                        setNode, objectName, instance, *counterSlot, 1, &instanceAdded,
                        indices[position], query);
                    position++;
                }
                releaseMemory(indices);
            }
            releaseItemLists(counterSlot, instanceSlot);
        }
        if (setInstanceList != nullptr) {
            sortStagedNodes(setInstanceList);
        }
    }
}

// Against an object without instances no instance name exists, so only "*"
// can select its pseudo-instance.
static bool instanceSelected(const char* spec, const char* instanceName, int hasInstances)
{
    if (strcmp(spec, SELECT_ALL) == 0) {
        return true;
    }
    return hasInstances != 0 && typedNameMatches(spec, instanceName);
}

void addSelectiveInstanceNodeandCounterList(NodeList** setInstanceList, NodeList** setColumnList,
                                            NodeList* dataTree, NodeList* headerTree,
                                            Node** setObject, Node* setNode,
                                            const char* objectName, const char* instanceName,
                                            const char* counterNames, int hasInstances,
                                            bool* instanceAdded, int32_t instanceIndex,
                                            PDH_HQUERY query)
{
    if (setNode->childList == nullptr) {
        return;
    }
    const char* nodeName = hasInstances != 0 ? instanceName : NO_INSTANCE_NAME;
    const char* pathInstance = hasInstances != 0 ? instanceName : nullptr;
    NodeList* counterList = nullptr;
    char path[COUNTER_PATH_SIZE];
    for (Node* instanceSpec = setNode->childList->head; instanceSpec != nullptr;
         instanceSpec = instanceSpec->next) {
        if (!instanceSelected(instanceSpec->name, instanceName, hasInstances) ||
            instanceSpec->childList == nullptr) {
            continue;
        }
        for (const char* counterName = firstName(counterNames); counterName != nullptr;
             counterName = nextName(counterName)) {
            for (Node* counterSpec = instanceSpec->childList->head; counterSpec != nullptr;
                 counterSpec = counterSpec->next) {
                if (!specSelects(counterSpec->name, counterName)) {
                    continue;
                }
                bool registered = *instanceAdded && counterList != nullptr;
                if (registered && findByName(counterList->head, counterName) != nullptr) {
                    continue;
                }
                if (!buildCounterPath(path, COUNTER_PATH_SIZE, objectName, pathInstance,
                                      instanceIndex, counterName)) {
                    continue;
                }
                PDH_HCOUNTER handle = nullptr;
                PDH_STATUS status = PdhAddCounterA(query, path, 0, &handle);
                pdhDebug(status, "addSelectiveInstanceNodeandCounterList");
                if (status != ERROR_SUCCESS) {
                    continue;
                }
                if (*setObject == nullptr) {
                    addSetObjectNodes(setObject, objectName, setInstanceList, setColumnList,
                                      dataTree, headerTree);
                }
                if (!registered) {
                    addSetInstanceNode(*setInstanceList, nodeName, &counterList);
                    *instanceAdded = true;
                }
                addSetCounterNode(*setColumnList, counterList, counterName, handle);
            }
        }
    }
}

void addSetObjectNodes(Node** setObject, const char* objectName, NodeList** setInstanceList,
                       NodeList** setColumnList, NodeList* dataTree, NodeList* headerTree)
{
    Node* headerObject = createNode(objectName, 0, nullptr, nullptr, nullptr);
    insertSorted(headerTree, headerObject, SORT_BY_NAME);
    *setObject = createNode(objectName, 0, nullptr, nullptr, nullptr);
    insertSorted(dataTree, *setObject, SORT_BY_NAME);
    *setInstanceList = createList("", *setObject);
    *setColumnList = createList("", headerObject);
}

void addSetInstanceNode(NodeList* setInstanceList, const char* instanceName,
                        NodeList** counterList)
{
    Node* instanceNode = createNode(instanceName, 0, nullptr, nullptr, setInstanceList);
    stageNode(setInstanceList, instanceNode);
    *counterList = createList("", instanceNode);
}

void addSetCounterNode(NodeList* setColumnList, NodeList* counterList, const char* counterName,
                       PDH_HCOUNTER handle)
{
    if (findByName(setColumnList->head, counterName) == nullptr) {
        insertSorted(setColumnList, createNode(counterName, 0, nullptr, nullptr, setColumnList),
                     SORT_BY_NAME);
    }
    insertSorted(counterList, createNode(counterName, 0, handle, nullptr, counterList),
                 SORT_BY_NAME);
}

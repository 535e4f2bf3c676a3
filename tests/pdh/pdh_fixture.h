// What the tests of the performance data access share: registering on a
// scripted machine in-process, building set lists by hand, and drawing trees
// as text so that whole shapes compare at once.
#ifndef MIREKAST_TESTS_PDH_PDH_FIXTURE_H
#define MIREKAST_TESTS_PDH_PDH_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/memory.h"
#include "pdh/enumeration.h"
#include "pdh/registration.h"
#include "support/scripted/scripted_layer.h"
#include "tree/node_list.h"

// One instance spec with its counter specs.
typedef std::pair<std::string, std::vector<std::string>> InstanceSpec;

struct SetSpec {
    std::string object;
    std::vector<InstanceSpec> instances;
};

// A set list shaped as the command-line parser leaves it.
inline NodeList* makeSets(const std::vector<SetSpec>& sets)
{
    NodeList* setList = createList("", nullptr);
    for (const SetSpec& set : sets) {
        Node* setNode = createNode(set.object.c_str(), 0, nullptr, nullptr, setList);
        appendNode(setList, setNode);
        NodeList* instanceSpecs = createList("", setNode);
        for (const InstanceSpec& instance : set.instances) {
            Node* spec = createNode(instance.first.c_str(), 0, nullptr, nullptr, instanceSpecs);
            appendNode(instanceSpecs, spec);
            NodeList* counterSpecs = createList("", spec);
            for (const std::string& counter : instance.second) {
                appendNode(counterSpecs,
                           createNode(counter.c_str(), 0, nullptr, nullptr, counterSpecs));
            }
        }
    }
    return setList;
}

// Draws `list` one node a line, two spaces deeper per level; a node with a
// counter handle shows the path it was added with.  Every fault of the shape
// that the report relies on is drawn too: a list that is not named "", a count
// that differs from the nodes linked, a parent list that is not the list the
// node stands in (none for the root's nodes), a set data field.
inline void drawList(const NodeList* list, int depth, bool root, std::string* out)
{
    std::string indent(static_cast<size_t>(depth) * 2, ' ');
    uint32_t linked = 0;
    for (const Node* node = list->head; node != nullptr; node = node->next) {
        linked++;
        *out += indent + node->name;
        if (node->counter != nullptr) {
            *out += " = " + scripted::counterPath(node->counter);
        }
        if (node->parentList != (root ? nullptr : list)) {
            *out += " [wrong parent list]";
        }
        if (node->data != 0) {
            *out += " [data " + std::to_string(node->data) + "]";
        }
        *out += "\n";
        if (node->childList != nullptr) {
            drawList(node->childList, depth + 1, false, out);
        }
    }
    if (list->name[0] != '\0') {
        *out += indent + "[list named " + list->name + "]\n";
    }
    if (linked != list->count) {
        *out += indent + "[count " + std::to_string(list->count) + "]\n";
    }
}

inline std::string drawTree(const NodeList* tree)
{
    std::string out;
    drawList(tree, 0, true, &out);
    return out;
}

// A registration on the scripted machine, run in-process: the program's own
// calls, from listing the objects to the filled trees.  Release it at the end
// of the test so that the leak checker sees only the program's own faults.
struct Registration {
    char* objectNames = nullptr;
    char* counterList = nullptr;
    char* instanceList = nullptr;
    PDH_HQUERY query = nullptr;
    NodeList* dataTree = nullptr;
    NodeList* headerTree = nullptr;

    // Registers everything (setList null) or the sets in `setList`.
    explicit Registration(NodeList* setList = nullptr)
    {
        getObjectListing(&objectNames);
        EXPECT_EQ(PdhOpenQueryA(nullptr, 1, &query), 0);
        dataTree = createList("", nullptr);
        headerTree = createList("", nullptr);
        if (setList == nullptr) {
            registerAllObjects(objectNames, &counterList, &instanceList, query, dataTree,
                               headerTree);
        } else {
            registerSets(setList, objectNames, &counterList, &instanceList, query, dataTree,
                         headerTree);
        }
        // The registration releases each object's lists when it is done with it.
        EXPECT_EQ(counterList, nullptr);
        EXPECT_EQ(instanceList, nullptr);
    }

    ~Registration()
    {
        PdhCloseQuery(query);
        destroyTree(dataTree);
        destroyTree(headerTree);
        releaseMemory(objectNames);
    }

    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
};

#endif

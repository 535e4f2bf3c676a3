// Registration of big objects against a plain reference: the straightforward
// algorithm (sorted insertion walking from the head for every instance, each
// instance's index counted by reading the names again from the first) is kept
// here, and random object listings with thousands of instances must give the
// same trees and the same added paths, in the same order, with both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "pdh/pdh_fixture.h"
#include "pdh/registration.h"

namespace reference {

const char NO_INSTANCE[] = "UNNAMED";

int32_t indexOf(const char* instances, const char* instance)
{
    int32_t index = 0;
    for (const char* earlier = firstName(instances); earlier != instance;
         earlier = nextName(earlier)) {
        index += strcmp(earlier, instance) == 0 ? 1 : 0;
    }
    return index;
}

// Adds the counter; false when the path does not fit or PDH refuses it.
bool add(PDH_HQUERY query, const char* object, const char* instance, int32_t index,
         const char* counter, PDH_HCOUNTER* handle)
{
    char path[COUNTER_PATH_SIZE];
    int length = instance != nullptr
                     ? snprintf(path, sizeof path, "\\%s(%s#%d)\\%s", object, instance, index,
                                counter)
                     : snprintf(path, sizeof path, "\\%s\\%s", object, counter);
    if (length < 0 || length >= COUNTER_PATH_SIZE) {
        return false;
    }
    return PdhAddCounterA(query, path, 0, handle) == ERROR_SUCCESS;
}

NodeList* insertedList(NodeList* list, const char* name, PDH_HCOUNTER handle, bool root)
{
    Node* node = createNode(name, 0, handle, nullptr, root ? nullptr : list);
    insertSorted(list, node, SORT_BY_NAME);
    return createList("", node);
}

void addColumn(NodeList* columns, const char* counter)
{
    if (findByName(columns->head, counter) == nullptr) {
        insertSorted(columns, createNode(counter, 0, nullptr, nullptr, columns), SORT_BY_NAME);
    }
}

void addCounter(NodeList* counters, const char* counter, PDH_HCOUNTER handle)
{
    insertSorted(counters, createNode(counter, 0, handle, nullptr, counters), SORT_BY_NAME);
}

void registerAll(const char* objects, PDH_HQUERY query, NodeList* data, NodeList* header)
{
    for (const char* object = firstName(objects); object != nullptr; object = nextName(object)) {
        char* counters = nullptr;
        char* instances = nullptr;
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        getObjectItemListing(object, &counters, &instances, &counterSize, &instanceSize);
        NodeList* columns = insertedList(header, object, nullptr, true);
        NodeList* instanceList = insertedList(data, object, nullptr, true);
        bool hasInstances = instanceSize > 2;
        const char* instance = hasInstances ? firstName(instances) : NO_INSTANCE;
        for (bool first = true; instance != nullptr; first = false) {
            NodeList* counterList = insertedList(instanceList, instance, nullptr, false);
            bool named = strcmp(instance, NO_INSTANCE) != 0;
            int32_t index = hasInstances ? indexOf(instances, instance) : 0;
            for (const char* counter = firstName(counters); counter != nullptr;
                 counter = nextName(counter)) {
                PDH_HCOUNTER handle = nullptr;
                if (!add(query, object, named ? instance : nullptr, index, counter, &handle)) {
                    continue;
                }
                if (first) {
                    addColumn(columns, counter);
                }
                addCounter(counterList, counter, handle);
            }
            instance = hasInstances ? nextName(instance) : nullptr;
        }
        releaseMemory(counters);
        releaseMemory(instances);
    }
}

bool isStar(const char* spec)
{
    return strcmp(spec, "*") == 0;
}

void registerSets(NodeList* sets, const char* objects, PDH_HQUERY query, NodeList* data,
                  NodeList* header)
{
    for (Node* set = sets->head; set != nullptr; set = set->next) {
        NodeList* instanceList = nullptr;
        NodeList* columns = nullptr;
        for (const char* object = firstName(objects); object != nullptr;
             object = nextName(object)) {
            if (strcmp(object, set->name) != 0) {
                continue;
            }
            char* counters = nullptr;
            char* instances = nullptr;
            DWORD counterSize = 0;
            DWORD instanceSize = 0;
            getObjectItemListing(object, &counters, &instances, &counterSize, &instanceSize);
            bool hasInstances = instanceSize > 2;
            const char* instance = hasInstances ? firstName(instances) : nullptr;
            do {
                int32_t index = hasInstances ? indexOf(instances, instance) : 0;
                NodeList* counterList = nullptr;
                for (Node* spec = set->childList->head; spec != nullptr; spec = spec->next) {
                    bool selected = isStar(spec->name) ||
                                    (hasInstances && strcmp(spec->name, instance) == 0);
                    if (!selected) {
                        continue;
                    }
                    for (const char* counter = firstName(counters); counter != nullptr;
                         counter = nextName(counter)) {
                        for (Node* c = spec->childList->head; c != nullptr; c = c->next) {
                            if (!isStar(c->name) && strcmp(c->name, counter) != 0) {
                                continue;
                            }
                            if (counterList != nullptr &&
                                findByName(counterList->head, counter) != nullptr) {
                                continue;
                            }
                            PDH_HCOUNTER handle = nullptr;
                            if (!add(query, object, instance, index, counter, &handle)) {
                                continue;
                            }
                            if (instanceList == nullptr) {
                                columns = insertedList(header, object, nullptr, true);
                                instanceList = insertedList(data, object, nullptr, true);
                            }
                            if (counterList == nullptr) {
                                counterList = insertedList(
                                    instanceList, hasInstances ? instance : NO_INSTANCE,
                                    nullptr, false);
                            }
                            addColumn(columns, counter);
                            addCounter(counterList, counter, handle);
                        }
                    }
                }
                instance = hasInstances ? nextName(instance) : nullptr;
            } while (instance != nullptr);
            releaseMemory(counters);
            releaseMemory(instances);
        }
    }
}

} // namespace reference

namespace {

typedef std::vector<std::string> Paths;

// What one registration left: both trees drawn, and every path tried.
struct Outcome {
    std::string data;
    std::string header;
    Paths attempted;
};

// Names drawn so that many repeat, many are prefixes of others ("w", "w1",
// "w10"), and some carry bytes above 0x7f, which must sort after ASCII.
std::string randomName(std::mt19937& random)
{
    static const char* const stems[] = {"w", "w1", "w10", "W", "kworker/0:1", "\xe9t\xe9",
                                        "\xff", "sh", "sh ", "UNNAMED", "a\x80", "a"};
    std::uniform_int_distribution<int> stem(0, sizeof stems / sizeof stems[0] - 1);
    std::uniform_int_distribution<int> suffix(-40, 60);
    std::string name = stems[stem(random)];
    int number = suffix(random);
    if (number >= 0) {
        name += std::to_string(number);
    }
    return name;
}

// A machine of several objects: two big ones, a small one, one without
// instances, and one listed twice; some counters refused for some instances.
void scriptRandomMachine(unsigned seed)
{
    std::mt19937 random(seed);
    scripted::reset();
    const std::vector<std::string> counters = {"ID", "Handle Count", "% Time", "ID "};
    const std::vector<std::pair<std::string, int>> objects = {
        {"Thread", 2500}, {"Process", 1200}, {"Memory", 0}, {"Job", 40}, {"Process", 30}};
    std::bernoulli_distribution refused(0.05);
    for (const auto& object : objects) {
        std::vector<std::string> instances;
        for (int i = 0; i < object.second; i++) {
            instances.push_back(randomName(random));
        }
        scripted::addObject(object.first, counters, instances);
        for (size_t i = 0; i < instances.size(); i++) {
            int index = 0;
            for (size_t j = 0; j < i; j++) {
                index += instances[j] == instances[i] ? 1 : 0;
            }
            for (const std::string& counter : counters) {
                if (refused(random)) {
                    scripted::refuseCounter("\\" + object.first + "(" + instances[i] + "#" +
                                            std::to_string(index) + ")\\" + counter);
                }
            }
        }
    }
    scripted::refuseCounter("\\Memory\\ID ");
}

Outcome drawn(NodeList* data, NodeList* header)
{
    return Outcome{drawTree(data), drawTree(header), scripted::attemptedPaths()};
}

// The program's registration; `sets` null registers everything.
Outcome registeredByProgram(NodeList* sets)
{
    Registration r(sets);
    return drawn(r.dataTree, r.headerTree);
}

Outcome registeredByReference(NodeList* sets)
{
    char* objects = nullptr;
    getObjectListing(&objects);
    PDH_HQUERY query = nullptr;
    EXPECT_EQ(PdhOpenQueryA(nullptr, 1, &query), 0);
    NodeList* data = createList("", nullptr);
    NodeList* header = createList("", nullptr);
    if (sets == nullptr) {
        reference::registerAll(objects, query, data, header);
    } else {
        reference::registerSets(sets, objects, query, data, header);
    }
    Outcome outcome = drawn(data, header);
    PdhCloseQuery(query);
    destroyTree(data);
    destroyTree(header);
    releaseMemory(objects);
    return outcome;
}

void expectSameOutcome(const Outcome& program, const Outcome& expected)
{
    // Compared line by line first so that a failure names the first difference.
    EXPECT_EQ(program.attempted.size(), expected.attempted.size());
    for (size_t i = 0; i < program.attempted.size() && i < expected.attempted.size(); i++) {
        if (program.attempted[i] != expected.attempted[i]) {
            ADD_FAILURE() << "path " << i << ": " << program.attempted[i] << " instead of "
                          << expected.attempted[i];
            break;
        }
    }
    EXPECT_TRUE(program.data == expected.data) << "the data trees differ";
    EXPECT_TRUE(program.header == expected.header) << "the header trees differ";
}

const unsigned SEEDS[] = {1, 2, 3};

TEST(RegistrationAgainstReference, AllObjectsGiveTheSameTreesAndPaths)
{
    for (unsigned seed : SEEDS) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        scriptRandomMachine(seed);
        Outcome program = registeredByProgram(nullptr);
        scriptRandomMachine(seed);
        Outcome expected = registeredByReference(nullptr);
        // Sanity of the listing itself: repeated names got higher indices.
        EXPECT_NE(expected.data.find("#2)"), std::string::npos);
        expectSameOutcome(program, expected);
    }
}

TEST(RegistrationAgainstReference, SetsGiveTheSameTreesAndPaths)
{
    for (unsigned seed : SEEDS) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Overlapping instance specs ("*" and exact names, one of them twice),
        // two sets on one object, an object without instances, a set on an
        // object that is listed twice, and a name that matches nothing.
        std::mt19937 random(seed + 100);
        std::string picked = randomName(random);
        std::vector<SetSpec> specs = {
            {"Thread", {{picked, {"ID", "% Time"}}, {"*", {"Handle Count", "ID"}},
                        {picked, {"*"}}, {"w1", {"ID "}}}},
            {"Process", {{"*", {"*"}}}},
            {"Memory", {{"*", {"*"}}, {"UNNAMED", {"ID"}}}},
            {"Thread", {{"sh", {"% Time"}}, {"\xe9t\xe9" "5", {"*"}}, {"nothing", {"ID"}}}},
            {"Job", {{"*", {"ID", "missing"}}}},
        };
        NodeList* sets = makeSets(specs);
        scriptRandomMachine(seed);
        Outcome program = registeredByProgram(sets);
        scriptRandomMachine(seed);
        Outcome expected = registeredByReference(sets);
        destroyTree(sets);
        EXPECT_GT(expected.attempted.size(), 4000u);
        expectSameOutcome(program, expected);
    }
}

} // namespace

#include "pdh/counter_order.h"

#include <algorithm>
#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/enumeration.h"

namespace {

struct ListedName {
    const char* name;
    uint32_t position;
};

// Of equal names the later one goes first, as insertSorted puts a new node in
// front of equal ones.
bool listedBefore(const ListedName& left, const ListedName& right)
{
    int order = strcmp(left.name, right.name);
    return order != 0 ? order < 0 : left.position > right.position;
}

void* allocateOrOut(size_t size)
{
    void* memory = allocateMemory(size > 0 ? size : 1);
    if (memory == nullptr) {
        outOfMemory();
    }
    return memory;
}

} // namespace

CounterOrder* orderCounters(const char* counterNames)
{
    uint32_t count = 0;
    for (const char* name = firstName(counterNames); name != nullptr; name = nextName(name)) {
        count++;
    }
    CounterOrder* order = static_cast<CounterOrder*>(allocateOrOut(sizeof(CounterOrder)));
    order->count = count;
    order->place = static_cast<uint32_t*>(allocateOrOut(count * sizeof(uint32_t)));
    order->placed = static_cast<Node**>(allocateOrOut(count * sizeof(Node*)));
    ListedName* listed = static_cast<ListedName*>(allocateOrOut(count * sizeof(ListedName)));
    uint32_t position = 0;
    for (const char* name = firstName(counterNames); name != nullptr; name = nextName(name)) {
        listed[position] = ListedName{name, position};
        order->placed[position] = nullptr;
        position++;
    }
    std::sort(listed, listed + count, listedBefore);
    for (uint32_t place = 0; place < count; place++) {
        order->place[listed[place].position] = place;
    }
    releaseMemory(listed);
    return order;
}

void placeCounter(CounterOrder* order, uint32_t position, Node* node)
{
    order->placed[order->place[position]] = node;
}

void linkPlacedCounters(CounterOrder* order, NodeList* list)
{
    for (uint32_t place = 0; place < order->count; place++) {
        if (order->placed[place] != nullptr) {
            appendNode(list, order->placed[place]);
            order->placed[place] = nullptr;
        }
    }
}

void freeCounterOrder(CounterOrder* order)
{
    releaseMemory(order->place);
    releaseMemory(order->placed);
    releaseMemory(order);
}

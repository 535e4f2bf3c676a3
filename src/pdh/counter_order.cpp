#include "pdh/counter_order.h"

#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/instance_index.h"

namespace {

void* allocateOrOut(size_t size)
{
    void* memory = allocateMemory(size);
    if (memory == nullptr) {
        outOfMemory();
    }
    return memory;
}

} // namespace

// The order insertSorted gives a block's names is the order an object's
// instance list takes, which the sort for the #indices gives already.
CounterOrder* orderCounters(const char* counterNames)
{
    uint32_t count = 0;
    uint32_t* listOrder = nullptr;
    releaseMemory(indexInstances(counterNames, &listOrder, &count));
    CounterOrder* order = static_cast<CounterOrder*>(allocateOrOut(sizeof(CounterOrder)));
    order->count = count;
    order->place = static_cast<uint32_t*>(allocateOrOut(count * sizeof(uint32_t)));
    order->placed = static_cast<Node**>(allocateOrOut(count * sizeof(Node*)));
    for (uint32_t place = 0; place < count; place++) {
        order->place[listOrder[place]] = place;
        order->placed[place] = nullptr;
    }
    releaseMemory(listOrder);
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
